// Points of one colour: every square with that colour on its four corners is worth its size.
#include "referee/scoring.h"

int32_t telpunten(const int32_t bord[BORDRIJEN][BORDKOLOMMEN], int kleur) {
  int32_t punten = 0;
  for (int r = 1; r < RIJEN; ++r) {
    for (int c = 1; c < KOLOMMEN; ++c) {
      if (bord[r][c] != kleur) continue;
      const int grootste = RIJEN - r < KOLOMMEN - c ? RIJEN - r : KOLOMMEN - c;
      for (int d = 1; d <= grootste; ++d) {
        if (bord[r + d][c] == kleur && bord[r][c + d] == kleur && bord[r + d][c + d] == kleur)
          punten += d;
      }
    }
  }
  return punten;
}
