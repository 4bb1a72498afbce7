// What `match` tells of one game it ran, and `play-human` of the game a person played: the
// failure of a game the referee did not finish, the notes on a disqualification, the record of
// what each player used beside the log, and the result line on standard output.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "arena/match/match.h"

namespace arena::cli {

struct MatchReport {
  int status = 0;           // the command's exit status, as `match --help` gives it
  std::string result_line;  // as printed, without its newline; empty when none was
  std::string winner;       // the winner's name, "-" for none
};

// When a stop signal has been received: says so for `command` and gives the exit status,
// 128 + N. A signal that came while the game was being set up (a player's sandbox being made)
// makes that set-up fail too, which is not to be reported as a set-up error.
std::optional<int> stopped_by_signal(std::string_view command);

// Writes the report of `result` for `command` ("match"); a stop signal received during the
// game makes it say so and nothing else.
MatchReport report_match(const MatchResult& result, std::string_view command);

}  // namespace arena::cli
