// The board record, the move record, the four neighbourhood masks and laying a tile.
// The stored board has a one-cell border: 18 rows by 22 columns, cell number k = row * 22 + column.
#pragma once

#include <bitset>
#include <cstdint>

constexpr int RIJEN = 16;                         // field rows, 1..16 (letters A..P)
constexpr int KOLOMMEN = 20;                      // field columns, 1..20 (letters a..t)
constexpr int BORDRIJEN = 18;                     // stored rows, border included
constexpr int BORDKOLOMMEN = 22;                  // stored columns, border included
constexpr int CELLEN = BORDRIJEN * BORDKOLOMMEN;  // 396

using bitset396 = std::bitset<CELLEN>;

struct situatie {
  bitset396 bezet;                        // bit k set once any tile covered cell k
  int32_t bord[BORDRIJEN][BORDKOLOMMEN];  // colour of the tile laid last on the cell, 0 if none
};

struct move {
  int32_t rij;    // anchor row, 1-based
  int32_t kolom;  // anchor column, 1-based
  char tekst[8];  // six tile digits, orientation letter ('h' or 'v'), NUL
};

// Masks anchored at cell 22 (row 1, column 0); shift by (rij - 1) * 22 + kolom to apply.
extern bitset396 maskerbinnenhorz;
extern bitset396 maskerbuitenhorz;
extern bitset396 maskerbinnenvert;
extern bitset396 maskerbuitenvert;

void init(situatie& s);
void plaats(situatie& s, move& m);
