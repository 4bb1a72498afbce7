// The disqualifications a game log records, in the referee's words: one line
// "Result: The Player N player has been disqualified in move M: MESSAGE" for each.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace arena {

struct LoggedDisqualification {
  int player = 0;  // 1 or 2
  int move = 0;
  std::string message;
};

// The disqualification a log line records, or nothing when it records none.
std::optional<LoggedDisqualification> parse_disqualification(std::string_view line);

// The disqualifications of `log`, in order; none when it cannot be read. Reads at most the
// first MiB.
std::vector<LoggedDisqualification> read_disqualifications(const std::filesystem::path& log);

}  // namespace arena
