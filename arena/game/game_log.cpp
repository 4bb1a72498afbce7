#include "arena/game/game_log.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <system_error>

#include "arena/system/bounded_read.h"

namespace arena {
namespace {

// The referee formats its lines into 1024 bytes; anything far longer was not written by it.
constexpr std::size_t kLongestLine = 2048;
constexpr std::string_view kReportStart = "Manager report: ";

bool take(std::string_view& text, std::string_view prefix) {
  if (!text.starts_with(prefix)) return false;
  text.remove_prefix(prefix.size());
  return true;
}

bool take_int(std::string_view& text, int& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data()) return false;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return true;
}

bool whole_int(std::string_view text, int& value) { return take_int(text, value) && text.empty(); }

bool is_tile(std::string_view digits) {
  std::string sorted(digits);
  std::sort(sorted.begin(), sorted.end());
  return sorted == "123456";
}

// Row letter, column letter, a tile, 'h' or 'v'; whether the tile lies on the board is the
// board's to judge.
bool is_move_text(std::string_view text) {
  return text.size() == 9 && text[0] >= 'A' && text[0] <= 'P' && text[1] >= 'a' && text[1] <= 't' &&
         is_tile(text.substr(2, 6)) && (text[8] == 'h' || text[8] == 'v');
}

class LogReader {
 public:
  explicit LogReader(std::string name) : name_(std::move(name)) {}

  void line(std::string_view text, std::size_t number) {
    number_ = number;
    if (text.size() > kLongestLine) fail("longer than " + std::to_string(kLongestLine) + " bytes");
    if (number == 1) {
      if (!text.starts_with("Game log: "))
        fail("not a game log: it does not begin with \"Game log: \"");
      return;
    }
    if (take(text, "Colours: ")) return colours(text);
    if (take(text, "Starting tile: ")) return start(text);
    if (take(text, "Round ")) return round(text);
    if (text.starts_with("Player ") && text.find(" gained ") != std::string_view::npos)
      return gained(text);
    if (text == "Result: Game ends with 2 disqualifies.") {
      log_.both_disqualified = true;
      return;
    }
    if (auto entry = parse_disqualification(text)) return disqualified(std::move(*entry));
    if (text.starts_with(kReportStart)) {
      log_.report = parse_manager_report(text);
      if (!log_.report) fail("a malformed manager report");
    }
    // Anything else (the players' times, empty lines, the referee's errors) tells nothing of the
    // game's course.
  }

  GameLog finish() {
    number_ = 0;
    if (log_.start_move.empty()) fail("no starting tile: not a game log, or cut short");
    if (log_.points.has_value() && log_.points->at(1) < 0) fail("only player 1's points");
    return std::move(log_);
  }

 private:
  [[noreturn]] void fail(const std::string& why) const {
    throw GameLogError(name_ + (number_ ? ": line " + std::to_string(number_) : "") + ": " + why);
  }

  void colours(std::string_view text) {
    int one = 0, two = 0;
    if (!take_int(text, one) || !take(text, ", ") || !whole_int(text, two))
      fail("malformed colours");
    if (one < 1 || one > 6 || two < 1 || two > 6 || one == two)
      fail("the colours must be two different numbers from 1 to 6");
    log_.colours = {one, two};
  }

  void start(std::string_view text) {
    if (log_.colours[0] == 0) fail("the starting tile comes before the colours");
    if (!log_.start_move.empty()) fail("a second starting tile");
    if (text.size() != 9 || !text.starts_with("Hh") || text[8] != 'h' ||
        !is_tile(text.substr(2, 6))) {
      fail("the starting tile is not \"Hh\", six different digits 1 to 6 and \"h\"");
    }
    log_.start_move = std::string(text);
  }

  void round(std::string_view text) {
    int number = 0, player = 0;
    if (!take_int(text, number) || !take(text, " player ") || !take_int(text, player) ||
        !take(text, ": ")) {
      fail("a malformed move line");
    }
    if (log_.start_move.empty()) fail("a move before the starting tile");
    if (log_.finished()) fail("a move after the end of the game");
    const int expected = static_cast<int>(log_.moves.size()) + 1;
    if (number != expected)
      fail("move " + std::to_string(number) + " where move " + std::to_string(expected) +
           " was due");
    if (player != 2 - expected % 2)
      fail("move " + std::to_string(number) + " by player " + std::to_string(player) +
           ", whose turn it was not");
    if (!is_move_text(text)) fail("\"" + std::string(text.substr(0, 20)) + "\" is no move");
    log_.moves.push_back({player, std::string(text)});
  }

  void gained(std::string_view text) {
    int player = 0, points = 0;
    if (!take(text, "Player ") || !take_int(text, player) || !take(text, " gained ") ||
        !take_int(text, points) || text != " points" || player < 1 || player > 2 || points < 0) {
      fail("malformed points");
    }
    if (player == 1) {
      if (log_.points) fail("points given twice");
      log_.points = {points, -1};
    } else {
      if (!log_.points || log_.points->at(1) >= 0) fail("player 2's points out of order");
      log_.points->at(1) = points;
    }
  }

  void disqualified(LoggedDisqualification entry) {
    if (entry.player < 1 || entry.player > 2) fail("a disqualification of no player");
    // Moves are logged once laid, so a disqualification is for the move after the last one.
    if (entry.move != static_cast<int>(log_.moves.size()) + 1 || entry.player != 2 - entry.move % 2)
      fail("a disqualification in move " + std::to_string(entry.move) + " out of turn");
    log_.disqualifications.push_back(std::move(entry));
  }

  std::string name_;
  std::size_t number_ = 0;
  GameLog log_;
};

}  // namespace

const LoggedDisqualification* GameLog::disqualification_of(int player) const {
  for (const LoggedDisqualification& entry : disqualifications) {
    if (entry.player == player) return &entry;
  }
  return nullptr;
}

std::optional<ManagerReport> parse_manager_report(std::string_view line) {
  if (!line.starts_with(kReportStart) || !line.ends_with(".")) return std::nullopt;
  line.remove_prefix(kReportStart.size());
  line.remove_suffix(1);
  auto score = line.rfind(" Score: ");
  if (score == std::string_view::npos) return std::nullopt;
  std::string_view values = line.substr(score + 8);
  ManagerReport report;
  report.description = line.substr(0, score);
  // The first value is never negative, so the first '-' separates the two.
  auto dash = values.find('-', 1);
  if (dash == std::string_view::npos || !whole_int(values.substr(0, dash), report.values[0]) ||
      !whole_int(values.substr(dash + 1), report.values[1])) {
    return std::nullopt;
  }
  return report;
}

GameLog read_game_log(const std::filesystem::path& log) {
  const std::string name = log.string();
  std::error_code error;
  if (!std::filesystem::is_regular_file(log, error) || !std::ifstream(log))
    throw GameLogError(name + ": cannot be read (no such file, or not a file)");
  const std::string text = read_head(log, kGameLogLimit + 1);
  if (text.size() > kGameLogLimit)
    throw GameLogError(name + ": larger than " + std::to_string(kGameLogLimit >> 20) +
                       " MiB, more than any game log");
  if (text.empty()) throw GameLogError(name + ": empty");
  LogReader reader(name);
  std::string_view rest = text;
  for (std::size_t number = 1; !rest.empty(); ++number) {
    std::string_view line = take_line(rest);
    if (line.ends_with('\r')) line.remove_suffix(1);
    reader.line(line, number);
  }
  return reader.finish();
}

}  // namespace arena
