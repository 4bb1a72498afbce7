// What the arena itself saw of a player that lost its game by an illegal answer, beyond what the
// referee logs: the notes printed after the game explain the loss with it. How a time-out came
// about is the clock's to say (TimeoutDetail in player_clock.h).
#pragma once

#include <cstddef>

#include "arena/match/player_clock.h"

namespace arena {

// The last line a player wrote is kept to this many characters and one more, so that the notes
// can tell a cut line (printable() in disqualification_notes.h marks it "...") from a whole one.
inline constexpr std::size_t kKeptAnswer = 200;

}  // namespace arena
