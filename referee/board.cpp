// The board record, the neighbourhood masks and laying a tile.
#include "referee/board.h"

bitset396 maskerbinnenhorz;
bitset396 maskerbuitenhorz;
bitset396 maskerbinnenvert;
bitset396 maskerbuitenvert;

namespace {

// Cell number of (rows down, columns right) from an anchor stored at cell 22.
constexpr int masker_cel(int rijen, int kolommen) { return (1 + rijen) * BORDKOLOMMEN + kolommen; }

void bouw_maskers() {
  maskerbinnenhorz.reset();
  maskerbuitenhorz.reset();
  maskerbinnenvert.reset();
  maskerbuitenvert.reset();
  for (int k = 0; k < 6; ++k) {
    maskerbinnenhorz.set(masker_cel(0, k));
    maskerbinnenhorz.set(masker_cel(1, k));
    maskerbuitenhorz.set(masker_cel(-1, k));
    maskerbuitenhorz.set(masker_cel(2, k));
    maskerbinnenvert.set(masker_cel(k, 0));
    maskerbinnenvert.set(masker_cel(k, 1));
    maskerbuitenvert.set(masker_cel(k, -1));
    maskerbuitenvert.set(masker_cel(k, 2));
  }
  for (int r = 0; r < 2; ++r) {
    maskerbuitenhorz.set(masker_cel(r, -1));
    maskerbuitenhorz.set(masker_cel(r, 6));
    maskerbuitenvert.set(masker_cel(-1, r));
    maskerbuitenvert.set(masker_cel(6, r));
  }
}

// bitset::set rejects a cell number beyond 395 with std::out_of_range before the grid is
// touched, so an anchor far off the board stops the program instead of writing astray.
void leg(situatie& s, int rij, int kolom, char kleur) {
  const int k = rij * BORDKOLOMMEN + kolom;
  s.bezet.set(static_cast<size_t>(k));
  (&s.bord[0][0])[k] = kleur - '0';
}

}  // namespace

void init(situatie& s) {
  s.bezet.reset();
  for (auto& rij : s.bord)
    for (int32_t& cel : rij) cel = 0;
  bouw_maskers();
}

void plaats(situatie& s, move& m) {
  const int r = m.rij;
  const int c = m.kolom;
  const char* t = m.tekst;
  if (t[6] == 'h') {
    for (int k = 0; k < 6; ++k) {
      leg(s, r, c + k, t[k]);
      leg(s, r + 1, c + k, t[5 - k]);
    }
  } else {
    for (int k = 0; k < 6; ++k) {
      leg(s, r + k, c, t[5 - k]);
      leg(s, r + k, c + 1, t[k]);
    }
  }
}
