// What the arena itself saw of a player that lost its game by a time-out or an illegal answer,
// beyond what the referee logs: the notes printed after the game explain the loss with it.
#pragma once

#include <string>

namespace arena {

struct TimeoutDetail {
  bool by_cpu = false;  // the CPU time of its tree ran out (else its thinking time)
  // It kept the CPU busy right up to the time-out: it was still working on a slow answer, not
  // waiting for input with an answer left unwritten.
  bool busy = false;
};

// The last line a player wrote, cut to this many characters (the cut is marked by a longer
// text: see cut_answer).
inline constexpr std::size_t kKeptAnswer = 200;

}  // namespace arena
