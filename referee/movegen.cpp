// Legal placements of a tile. Instead of shifting a 396-bit mask to every anchor, the
// occupancy set is read once into one word per stored row (bit c = column c), and two rows are
// then judged together in one 64-bit word: bit c of a result stands for the anchor in column c,
// so a handful of shifts, ANDs and ORs settle every anchor of two rows at once. Contact is a
// few shifted ORs of the neighbouring rows; the overlap count is added in bit planes (plane i
// holds bit i of every anchor's count). The list keeps its fixed order because the anchors of a
// row are taken from the lowest column up, rows in increasing order, horizontal before vertical.
#include "referee/movegen.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace {

using rijwoord = uint32_t;

constexpr rijwoord RIJMASKER = (1u << BORDKOLOMMEN) - 1;
constexpr rijwoord ANKERS_HORZ = ((1u << 15) - 1) << 1;  // columns 1 to 15
constexpr rijwoord ANKERS_VERT = ((1u << 19) - 1) << 1;  // columns 1 to 19
constexpr int RIJEN_HORZ = 15;
constexpr int RIJEN_VERT = 11;

constexpr int WOORDEN = (CELLEN + 63) / 64;

// The set's storage as 64-bit words, bit k in bit k % 64 of word k / 64, when the standard
// library lays it out that way (checked once by probing); otherwise by shifting the set.
bool woorden_direct() {
  for (int i = 0; i < WOORDEN; ++i) {
    bitset396 proef;
    const int bit = (i * 37 + 5) % 64;
    if (64 * i + bit >= CELLEN) continue;
    proef.set(64 * i + bit);
    uint64_t woord[WOORDEN];
    std::memcpy(woord, &proef, sizeof woord);
    for (int j = 0; j < WOORDEN; ++j)
      if (woord[j] != (j == i ? uint64_t{1} << bit : 0)) return false;
  }
  return true;
}

void lees_woorden(const bitset396& bezet, uint64_t woord[WOORDEN]) {
  if constexpr (std::is_trivially_copyable_v<bitset396> &&
                sizeof(bitset396) == WOORDEN * sizeof(uint64_t)) {
    static const bool direct = woorden_direct();
    if (direct) {
      std::memcpy(woord, &bezet, WOORDEN * sizeof(uint64_t));
      return;
    }
  }
  static const bitset396 laag64(~0ULL);
  for (int i = 0; i < WOORDEN; ++i) woord[i] = ((bezet >> (64 * i)) & laag64).to_ullong();
}

void lees_rijen(const bitset396& bezet, rijwoord rij[BORDRIJEN]) {
  uint64_t woord[WOORDEN + 1];
  lees_woorden(bezet, woord);
  woord[WOORDEN] = 0;
#pragma GCC unroll 18
  for (int r = 0; r < BORDRIJEN; ++r) {
    const int k = r * BORDKOLOMMEN;
    const int i = k / 64;
    const int o = k % 64;
    uint64_t v = woord[i] >> o;
    if (o > 64 - BORDKOLOMMEN) v |= woord[i + 1] << (64 - o);
    rij[r] = static_cast<rijwoord>(v) & RIJMASKER;
  }
}

// Two stored rows side by side in one word: row r in bits 0 to 21, row r + 1 in bits 32 to 53.
// Every step below works on both rows at once. The shifts move bits at most 6 places, so what
// one row receives from the other lands in columns that are never anchors and are masked away.
using rijpaar = uint64_t;

constexpr rijpaar beide(rijwoord w) { return w | static_cast<rijpaar>(w) << 32; }
constexpr rijpaar ANKERS_HORZ_PAAR = beide(ANKERS_HORZ);
constexpr rijpaar ANKERS_VERT_PAAR = beide(ANKERS_VERT);

// Anchors that would cover 5 or more covered cells, from a count of 0 to 12 held in bit
// planes n0 (ones) to n3 (eights).
constexpr rijpaar te_veel(rijpaar n0, rijpaar n1, rijpaar n2, rijpaar n3) {
  return n3 | (n2 & (n1 | n0));
}

// Horizontal anchors of rows r and r + 1 (paar[r] holds rows r and r + 1): the tile covers
// rows r and r + 1, columns c to c + 5.
rijpaar ankers_horz(const rijpaar paar[], int r) {
  const rijpaar boven = paar[r - 1], a = paar[r], b = paar[r + 1], onder = paar[r + 2];
  const rijpaar buren = boven | onder;
  const rijpaar twee = buren | (buren >> 1);
  const rijpaar vier = twee | (twee >> 2);
  const rijpaar zijkant = a | b;
  const rijpaar contact = vier | (twee >> 4) | (zijkant << 1) | (zijkant >> 6);

  // Covered cells per column (0 to 2), then summed over 2, 4 and 6 columns.
  const rijpaar k0 = a ^ b, k1 = a & b;
  const rijpaar k0s = k0 >> 1, k1s = k1 >> 1;
  const rijpaar p0 = k0 ^ k0s, c0 = k0 & k0s;
  const rijpaar p1 = k1 ^ k1s ^ c0, p2 = (k1 & k1s) | (c0 & (k1 ^ k1s));
  const rijpaar q0s = p0 >> 2, q1s = p1 >> 2, q2s = p2 >> 2;
  const rijpaar v0 = p0 ^ q0s, d0 = p0 & q0s;
  const rijpaar v1 = p1 ^ q1s ^ d0, d1 = (p1 & q1s) | (d0 & (p1 ^ q1s));
  const rijpaar v2 = p2 ^ q2s ^ d1, v3 = (p2 & q2s) | (d1 & (p2 ^ q2s));
  const rijpaar r0s = p0 >> 4, r1s = p1 >> 4, r2s = p2 >> 4;
  const rijpaar z0 = v0 ^ r0s, e0 = v0 & r0s;
  const rijpaar z1 = v1 ^ r1s ^ e0, e1 = (v1 & r1s) | (e0 & (v1 ^ r1s));
  const rijpaar z2 = v2 ^ r2s ^ e1, e2 = (v2 & r2s) | (e1 & (v2 ^ r2s));
  const rijpaar z3 = v3 ^ e2;
  return contact & ~te_veel(z0, z1, z2, z3) & ANKERS_HORZ_PAAR;
}

// Vertical anchors of rows r and r + 1: the tile covers rows r to r + 5, columns c and c + 1.
rijpaar ankers_vert(const rijpaar paar[], int r) {
  const rijpaar a = paar[r], b = paar[r + 1], c = paar[r + 2];
  const rijpaar d = paar[r + 3], e = paar[r + 4], f = paar[r + 5];
  const rijpaar buren = paar[r - 1] | paar[r + 6];
  const rijpaar zijkant = a | b | c | d | e | f;
  const rijpaar contact = buren | (buren >> 1) | (zijkant << 1) | (zijkant >> 2);

  // Covered cells per column over the six rows (0 to 6): two full adders and a half adder.
  const rijpaar een_1 = a ^ b ^ c, twee_1 = (a & b) | (c & (a ^ b));
  const rijpaar een_2 = d ^ e ^ f, twee_2 = (d & e) | (f & (d ^ e));
  const rijpaar overdracht = een_1 & een_2;
  const rijpaar k0 = een_1 ^ een_2;
  const rijpaar k1 = twee_1 ^ twee_2 ^ overdracht;
  const rijpaar k2 = (twee_1 & twee_2) | (overdracht & (twee_1 ^ twee_2));
  // Then columns c and c + 1 added.
  const rijpaar k0s = k0 >> 1, k1s = k1 >> 1, k2s = k2 >> 1;
  const rijpaar z0 = k0 ^ k0s, e0 = k0 & k0s;
  const rijpaar z1 = k1 ^ k1s ^ e0, e1 = (k1 & k1s) | (e0 & (k1 ^ k1s));
  const rijpaar z2 = k2 ^ k2s ^ e1, z3 = (k2 & k2s) | (e1 & (k2 ^ k2s));
  return contact & ~te_veel(z0, z1, z2, z3) & ANKERS_VERT_PAAR;
}

// A move record is written as two 8-byte stores: the anchor (row, column) and the text.
static_assert(sizeof(move) == 16 && offsetof(move, kolom) == 4 && offsetof(move, tekst) == 8);

int schrijf(rijwoord ankers, int r, uint64_t tekst, move* zetten, int n) {
  while (ankers != 0) {
    const int32_t kolom = std::countr_zero(ankers);
    if constexpr (std::endian::native == std::endian::little) {
      const uint64_t anker = static_cast<uint32_t>(r) | static_cast<uint64_t>(kolom) << 32;
      std::memcpy(reinterpret_cast<unsigned char*>(zetten + n), &anker, 8);
    } else {
      zetten[n].rij = r;
      zetten[n].kolom = kolom;
    }
    std::memcpy(zetten[n].tekst, &tekst, 8);
    ++n;
    ankers &= ankers - 1;
  }
  return n;
}

}  // namespace

int genereerzetten(const bitset396& bezet, move* zetten, const char* tegel) {
  // Rows 18 and 19 are padding so that the last pairs may look below the board.
  rijwoord rij[BORDRIJEN + 2];
  lees_rijen(bezet, rij);
  rij[BORDRIJEN] = rij[BORDRIJEN + 1] = 0;
  rijpaar paar[BORDRIJEN + 1];
#pragma GCC unroll 19
  for (int r = 0; r <= BORDRIJEN; ++r) paar[r] = rij[r] | static_cast<rijpaar>(rij[r + 1]) << 32;

  char tekst[2][8] = {};
  for (int k = 0; k < 6; ++k) tekst[0][k] = tekst[1][k] = tegel[k];
  tekst[0][6] = 'h';
  tekst[1][6] = 'v';
  uint64_t tekst_horz, tekst_vert;
  std::memcpy(&tekst_horz, tekst[0], 8);
  std::memcpy(&tekst_vert, tekst[1], 8);

  // The last pair of each orientation reaches one row past the last anchor row.
  int n = 0;
  for (int r = 1; r <= RIJEN_HORZ; r += 2) {
    const rijpaar ankers = ankers_horz(paar, r);
    n = schrijf(static_cast<rijwoord>(ankers), r, tekst_horz, zetten, n);
    if (r < RIJEN_HORZ) {
      n = schrijf(static_cast<rijwoord>(ankers >> 32), r + 1, tekst_horz, zetten, n);
    }
  }
  for (int r = 1; r <= RIJEN_VERT; r += 2) {
    const rijpaar ankers = ankers_vert(paar, r);
    n = schrijf(static_cast<rijwoord>(ankers), r, tekst_vert, zetten, n);
    if (r < RIJEN_VERT) {
      n = schrijf(static_cast<rijwoord>(ankers >> 32), r + 1, tekst_vert, zetten, n);
    }
  }
  return n;
}
