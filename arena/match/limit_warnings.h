// The limits of a game's sandbox that hold less on this machine than the options say (no
// memory control group, no freezer, ...), in the words the arena warns with before the game:
// a sandbox never degrades silently.
#pragma once

#include <string>
#include <string_view>

#include "arena/match/match.h"

namespace arena {

// One "zarvo-arena match: warning: ..." line per weak limit, then why the control groups are
// missing; empty when every limit holds.
std::string weak_limit_warnings(const MatchConfig& config);

// The same in one line, for --quiet: "zarvo-arena match: sandbox: limited here (no memory
// limit, ...); see zarvo-arena check-sandbox", or empty when every limit holds.
std::string weak_limits_line(const MatchConfig& config);

// How that line begins after the command's name, for those who read a match's standard error.
inline constexpr std::string_view kLimitedHere = "sandbox: limited here (";

}  // namespace arena
