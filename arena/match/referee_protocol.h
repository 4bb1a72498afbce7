// The manager's side of the referee's line protocol: player lines are relayed, "I lock",
// "I listen N" and "I request_time N" are answered, "I unlock" is noted, and the "M report"
// line ends the game. Anything else from the referee is a failure of the referee.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "arena/match/seat.h"
#include "arena/process/child_process.h"
#include "arena/process/line_reader.h"
#include "arena/system/deadline.h"

namespace arena {

// The word the referee is given for an answer line, or nothing when the line holds no word.
// Only the first word is passed on, at most 1023 bytes, the length the referee reads: a later
// word or the tail of a long one would be read by the referee as the arena's next reply. A
// first character '<' becomes '?', so no answer can pass for a tag.
std::optional<std::string> answer_word(std::string_view line);

struct RefereeReport {
  bool reported = false;  // an "M report" line was read
  std::array<int, 2> results{};
  std::string description;
  std::string failure;  // why the referee is not to be trusted; empty when it did its job
};

// Runs until the referee has reported and ended, failed, or `deadline` passed. The referee
// is left for the caller to stop and reap.
RefereeReport run_referee_protocol(LineReader& from_referee, int to_referee, ChildProcess& referee,
                                   std::array<Seat*, 2> seats, TimePoint deadline);

}  // namespace arena
