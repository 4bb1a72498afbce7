#include "referee/answer_check.h"

#include <cstring>

namespace {

bool veldIn(char letter, char eerste, char laatste) {
  return letter >= eerste && letter <= laatste;
}

}  // namespace

const char* eersteFout(const char* antwoord, const bitset396& bezet) {
  if (strlen(antwoord) != 3) {
    return "Player %s made an illegal move %s (wrong length).";
  }
  const char richting = antwoord[2];
  if (richting != 'h' && richting != 'v') {
    return "Player %s made an illegal move %s (no vertical or horizontal).";
  }
  const bool horizontaal = richting == 'h';
  if (!veldIn(antwoord[0], 'A', horizontaal ? 'O' : 'K')) {
    return "Player %s made an illegal move %s (out of board).";
  }
  if (!veldIn(antwoord[1], 'a', horizontaal ? 'o' : 's')) {
    return "Player %s made an illegal move %s (out of board).";
  }

  const int rij = antwoord[0] - 64;
  const int kolom = antwoord[1] - 96;
  const size_t verschuiving = static_cast<size_t>(BORDKOLOMMEN * (rij - 1) + kolom);
  const bitset396& binnen = horizontaal ? maskerbinnenhorz : maskerbinnenvert;
  const bitset396& buiten = horizontaal ? maskerbuitenhorz : maskerbuitenvert;
  if (((binnen << verschuiving) & bezet).count() > 4) {
    return "Player %s made a move %s with too many overlaps.";
  }
  if (((buiten << verschuiving) & bezet).none()) {
    return "Player %s made a move %s not adjacent to the tiles.";
  }
  return nullptr;
}
