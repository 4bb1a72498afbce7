#include "arena/series/game_record.h"

#include <algorithm>
#include <charconv>
#include <fstream>

#include "arena/match/game_files.h"
#include "arena/system/bounded_read.h"

namespace arena::tournament {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kReportStart = "Manager report: ";
// The report is one of the log's last lines; reading this much of its end is
// always enough and keeps a huge or foreign file from being read whole.
constexpr std::size_t kTailBytes = 64 * 1024;

bool parse_int(std::string_view text, int& value) {
  if (text.empty()) return false;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// "Manager report: DESCRIPTION Score: R1-R2." into the record; false when the
// line differs.
bool parse_report(std::string_view line, GameRecord& record) {
  if (!line.starts_with(kReportStart) || !line.ends_with(".")) return false;
  line.remove_prefix(kReportStart.size());
  line.remove_suffix(1);
  auto score = line.rfind(" Score: ");
  if (score == std::string_view::npos) return false;
  std::string_view values = line.substr(score + 8);
  record.description = line.substr(0, score);
  // The first value is never negative, so the first '-' separates the two.
  auto dash = values.find('-', 1);
  if (dash == std::string_view::npos || !parse_int(values.substr(0, dash), record.values[0]) ||
      !parse_int(values.substr(dash + 1), record.values[1])) {
    return false;
  }
  // Entries "PLAYER_1:_TEXT" separated by ";_", in the order the referee set
  // them; a later entry for the same player wins, as its value does.
  std::string_view rest = record.description;
  while (!rest.empty()) {
    auto separator = rest.find(";_");
    std::string_view entry = rest.substr(0, separator);
    rest = separator == std::string_view::npos ? std::string_view() : rest.substr(separator + 2);
    if (entry.starts_with("PLAYER_1:_")) record.texts[0] = entry.substr(10);
    if (entry.starts_with("PLAYER_2:_")) record.texts[1] = entry.substr(10);
  }
  return true;
}

}  // namespace

std::optional<std::size_t> disqualification_index(std::string_view text) {
  for (std::size_t i = 0; i < kDisqualificationReasons.size(); ++i) {
    if (text == kDisqualificationReasons[i]) return i;
  }
  return std::nullopt;
}

std::array<double, 2> game_points(const GameRecord& game) {
  bool out0 = disqualification_index(game.texts[0]).has_value();
  bool out1 = disqualification_index(game.texts[1]).has_value();
  if (out0 || out1) return {out1 && !out0 ? 1.0 : 0.0, out0 && !out1 ? 1.0 : 0.0};
  if (game.values[0] == game.values[1]) return {0.5, 0.5};
  return game.values[0] > game.values[1] ? std::array{1.0, 0.0} : std::array{0.0, 1.0};
}

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
  record.log = log.lexically_relative(dir);
  record.page = files->page().lexically_relative(dir);
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

}  // namespace arena::tournament
