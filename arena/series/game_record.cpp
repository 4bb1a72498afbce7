#include "arena/series/game_record.h"

#include <algorithm>
#include <charconv>
#include <fstream>

#include "arena/game/game_files.h"
#include "arena/game/game_log.h"
#include "arena/game/logged_disqualifications.h"
#include "arena/system/bounded_read.h"

namespace arena::series {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kReportStart = "Manager report: ";
// The report is one of the log's last lines; reading this much of its end is
// always enough and keeps a huge or foreign file from being read whole.
constexpr std::size_t kTailBytes = 64 * 1024;

// The report line's results into the record; false when the line is no report.
bool parse_report(std::string_view line, GameRecord& record) {
  std::optional<ManagerReport> report = parse_manager_report(line);
  if (!report) return false;
  record.description = std::move(report->description);
  record.values = report->values;
  // Entries "PLAYER_1:_TEXT" separated by ";_", in the order the referee set
  // them; a later entry for the same player wins, as its value does.
  record.texts = result_texts(record.description);
  return true;
}

}  // namespace

std::array<SideResult, 2> sides_of(const GameRecord& game) {
  std::array<SideResult, 2> sides;
  for (int i = 0; i < 2; ++i) {
    sides[i] = {game.names[i], game.values[i], game.texts[i], game.out_in_move[i]};
  }
  return sides;
}

GameOutcome outcome_of(const GameRecord& game) { return game_outcome(sides_of(game)); }

std::array<double, 2> game_points(const GameRecord& game) { return outcome_of(game).points(); }

std::optional<GameRecord> read_game_record(const fs::path& dir, const fs::path& log) {
  auto files = GameFiles::from_log(log);
  if (!files) return std::nullopt;
  std::string text = read_tail(log, kTailBytes);
  auto line_start = text.rfind(std::string("\n") + std::string(kReportStart));
  if (line_start == std::string::npos) return std::nullopt;
  ++line_start;
  auto line_end = text.find('\n', line_start);
  std::string_view line = std::string_view(text).substr(line_start, line_end - line_start);
  if (line.ends_with('\r')) line.remove_suffix(1);

  GameRecord record;
  if (!parse_report(line, record)) return std::nullopt;
  record.id = files->id();
  long number = 0;
  auto [end, error] =
      std::from_chars(record.id.data(), record.id.data() + record.id.size(), number);
  if (error == std::errc() && end == record.id.data() + record.id.size()) record.number = number;
  record.names = {files->name1(), files->name2()};
  if (is_disqualification(record.texts[0]) || is_disqualification(record.texts[1])) {
    // The first disqualification of each player is the one that counted.
    for (const LoggedDisqualification& entry : read_disqualifications(log)) {
      auto& move = record.out_in_move[entry.player == 1 ? 0 : 1];
      if ((entry.player == 1 || entry.player == 2) && !move) move = entry.move;
    }
  }
  record.log = log.lexically_relative(dir);
  record.page = files->page().lexically_relative(dir);
  std::error_code missing;
  for (const fs::path& file : files->game_error_files()) {
    if (fs::is_regular_file(file, missing))
      record.error_files.push_back(file.lexically_relative(dir));
  }
  record.usage = read_game_usage(files->usage());
  try {
    record.notes = read_game_notes(files->notes());
  } catch (const GameNotesError&) {
    // The result stands without its explanation.
  }
  return record;
}

void sort_games(std::vector<GameRecord>& games) {
  std::sort(games.begin(), games.end(), [](const GameRecord& a, const GameRecord& b) {
    // Numbered games first, in numeric order; others by id.
    if (a.number.has_value() != b.number.has_value()) return a.number.has_value();
    if (a.number != b.number) return a.number < b.number;
    if (a.id != b.id) return a.id < b.id;
    return a.log < b.log;
  });
}

LogScan scan_game_logs(const fs::path& dir) {
  LogScan scan;
  std::error_code error;
  fs::directory_iterator entries(GameFiles::log_dir_of(dir), error);
  if (error) return scan;
  for (const auto& entry : entries) {
    const fs::path& path = entry.path();
    if (path.extension() != ".log" || !entry.is_regular_file(error)) continue;
    if (auto record = read_game_record(dir, path)) {
      scan.games.push_back(std::move(*record));
    } else {
      scan.unfinished.push_back(path.lexically_relative(dir));
    }
  }
  sort_games(scan.games);
  std::sort(scan.unfinished.begin(), scan.unfinished.end());
  return scan;
}

}  // namespace arena::series
