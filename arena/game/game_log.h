// What the referee's game log records, read in one place: the players' colours, the start move,
// every laid move with its player, the disqualifications, the final points and the manager's
// report. Everything else that reads a game log (the disqualifications, a tournament's results,
// replaying and showing a game) goes through here. A log is outside input: it is read in bounded
// memory, and one that is damaged, cut short or made up is refused with the line at fault.
#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "arena/game/logged_disqualifications.h"

namespace arena {

// A log that cannot be read as a game's, with the reason ("LOG: line 7: ...").
struct GameLogError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The longest log read: a game has at most a few hundred moves, some 40 bytes each.
inline constexpr std::size_t kGameLogLimit = 1 << 20;

struct LoggedMove {
  int player = 0;    // 1 or 2
  std::string text;  // the full move text: row, column, six tile digits, 'h' or 'v'
  std::string tile() const { return text.substr(2, 6); }
  // The answer that names this placement, e.g. "Fch".
  std::string answer() const { return text.substr(0, 2) + text.back(); }
};

// "Manager report: DESCRIPTION Score: R1-R2."
struct ManagerReport {
  std::string description;
  std::array<int, 2> values{};
};

struct GameLog {
  std::array<int, 2> colours{};   // of player 1 and 2
  std::string start_move;         // "Hh" + six tile digits + "h"
  std::vector<LoggedMove> moves;  // move N is moves[N - 1]
  std::vector<LoggedDisqualification> disqualifications;
  std::optional<std::array<int, 2>> points;  // as scored at the end of the game
  bool both_disqualified = false;            // the game ended with the second disqualification
  std::optional<ManagerReport> report;

  // The game ran to its end: it was scored, or nobody was left to play.
  bool finished() const { return points.has_value() || both_disqualified; }
  // The first disqualification of player 1 or 2, if any.
  const LoggedDisqualification* disqualification_of(int player) const;
};

// The report line, or nothing when `line` is not one.
std::optional<ManagerReport> parse_manager_report(std::string_view line);

// Reads `log`. Throws GameLogError when it cannot be read, is larger than kGameLogLimit, is not a
// game log, or holds a line of a known kind that is malformed (numbers out of range, move texts
// that are no placements, moves out of turn or out of order). Whether the moves were legal is
// game_board.h's to tell.
GameLog read_game_log(const std::filesystem::path& log);

}  // namespace arena
