// The disqualifications a game log records, in the referee's words: one line
// "Result: The Player N player has been disqualified in move M: MESSAGE" for each.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace arena {

struct LoggedDisqualification {
  int player = 0;  // 1 or 2
  int move = 0;
  std::string message;
};

// The disqualifications of `log`, in order. Reads at most the first MiB.
std::vector<LoggedDisqualification> read_disqualifications(const std::filesystem::path& log);

}  // namespace arena
