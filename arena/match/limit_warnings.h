// The limits of a game's sandbox that hold less on this machine than the options say (no
// memory control group, no freezer, ...), in the words the arena warns with before the game:
// a sandbox never degrades silently.
#pragma once

#include <string>

#include "arena/match/match.h"

namespace arena {

// One "zarvo-arena match: warning: ..." line per weak limit, then why the control groups are
// missing; empty when every limit holds.
std::string weak_limit_warnings(const MatchConfig& config);

}  // namespace arena
