// Why a player ran out of time, in the words of its notes: the limit that fired, as its clock
// decided (PlayerClock::expired in player_clock.h; the CPU limit in Player), with its value
// against what the player used (over the game: the limit as given and the increments earned),
// then the cause as far as the arena saw it: an unfinished line, a slow answer, or what the
// player's threads waited in when it sat idle. Only the arena's explanation: the
// referee's protocol and log say TIMEOUT alone.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "arena/match/player_clock.h"

namespace arena {

// One line each, without indentation. `cpu_clock`: the game ran under --clock cpu, where the
// limit on thinking time over the game is the wall limit. `unfinished_output`: what the player
// had written of a line it never ended.
std::vector<std::string> timeout_explanation(const TimeoutDetail& detail, bool cpu_clock,
                                             const std::optional<std::string>& unfinished_output);

}  // namespace arena
