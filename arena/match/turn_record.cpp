#include "arena/match/turn_record.h"

#include <cstdint>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string_view>

#include "arena/game/logged_disqualifications.h"
#include "arena/system/bounded_read.h"

namespace arena {
namespace {

// How much of a player's standard error the record reads, and how much of it a turn shows.
constexpr std::size_t kStderrRead = 256 * 1024;
constexpr std::size_t kLinesPerTurn = 20;
constexpr std::size_t kLineWidth = 300;
constexpr std::size_t kLinesPerGame = 2000;

// The lines of `text`, at most `limit` of them, each cut to kLineWidth; `more` is set when some
// were left out.
std::vector<std::string> lines_of(std::string_view text, std::size_t limit, bool& more) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    std::string_view line = take_line(text);
    if (lines.size() == limit) {
      more = true;
      break;
    }
    std::string shown(line.substr(0, kLineWidth));
    if (line.size() > kLineWidth) shown += "...";
    lines.push_back(std::move(shown));
  }
  return lines;
}

nlohmann::ordered_json player_turns(const std::vector<Turn>& turns,
                                    const std::filesystem::path& stderr_file,
                                    std::size_t& lines_left) {
  const std::string text = read_head(stderr_file, kStderrRead);
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  std::uintmax_t from = 0;
  for (const Turn& turn : turns) {
    nlohmann::ordered_json entry;
    entry["ms"] = turn.charged.count();
    entry["left_ms"] = turn.left.count();
    entry["answered"] = turn.answered;
    const std::uintmax_t to = std::min<std::uintmax_t>(turn.stderr_end, text.size());
    bool more = turn.stderr_end > text.size();
    std::vector<std::string> lines;
    if (to > from) {
      std::string_view part(text.data() + from, static_cast<std::size_t>(to - from));
      lines = lines_of(part, std::min(kLinesPerTurn, lines_left), more);
      lines_left -= lines.size();
    }
    from = std::max(from, to);
    entry["stderr"] = lines;
    if (more) entry["stderr_cut"] = true;
    list.push_back(std::move(entry));
  }
  return list;
}

nlohmann::ordered_json clock_of(const RecordedClock& clock) {
  return {{"counts", clock.cpu ? "cpu" : "thinking"},
          {"limit_ms", clock.limit.count()},
          {"increment_ms", clock.increment.count()},
          {"move_limit_ms", clock.move_limit ? nlohmann::ordered_json(clock.move_limit->count())
                                             : nlohmann::ordered_json(nullptr)}};
}

// The log's disqualifications; a player's first, the one that counted, with its reason and the
// arena's note on it.
nlohmann::ordered_json disqualifications_of(const TurnRecordSource& source) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  std::array<bool, 2> noted{};
  for (const LoggedDisqualification& logged : read_disqualifications(source.log)) {
    nlohmann::ordered_json entry = {
        {"player", logged.player}, {"move", logged.move}, {"message", logged.message}};
    for (const DisqualificationNote& note : source.notes) {
      if (note.seat != logged.player || noted[note.seat - 1]) continue;
      noted[note.seat - 1] = true;
      entry["reason"] = note.reason;
      // As a tournament's terminal shows it: without the end of the standard error.
      entry["note"] = short_notes({note}, "", SIZE_MAX);
    }
    list.push_back(std::move(entry));
  }
  return list;
}

}  // namespace

std::string turn_record_script(const TurnRecordSource& source) {
  nlohmann::ordered_json record;
  std::size_t lines_left = kLinesPerGame;
  record["clock"] = clock_of(source.clock);
  record["players"] = nlohmann::ordered_json::array();
  for (int i = 0; i < 2; ++i) {
    record["players"].push_back(
        {{"turns", player_turns(source.turns[i], source.stderr_files[i], lines_left)}});
  }
  record["disqualifications"] = disqualifications_of(source);
  // ASCII only, with what is not UTF-8 replaced: the script is read whatever the page's charset.
  return "zarvoTurnRecord(" +
         record.dump(-1, ' ', true, nlohmann::ordered_json::error_handler_t::replace) + ");\n";
}

std::string turn_record_without_stderr(std::string_view script, int kept_player) {
  constexpr std::string_view kHead = "zarvoTurnRecord(", kTail = ");\n";
  if (!script.starts_with(kHead) || !script.ends_with(kTail))
    throw std::invalid_argument("it does not call zarvoTurnRecord");
  script.remove_prefix(kHead.size());
  script.remove_suffix(kTail.size());
  nlohmann::ordered_json record = nlohmann::ordered_json::parse(script, nullptr, false);
  if (!record.is_object() || !record.contains("players") || !record["players"].is_array())
    throw std::invalid_argument("it holds no players' turns");
  for (std::size_t i = 0; i < record["players"].size(); ++i) {
    if (static_cast<int>(i) + 1 == kept_player) continue;
    nlohmann::ordered_json& player = record["players"][i];
    if (!player.is_object() || !player.contains("turns") || !player["turns"].is_array()) continue;
    for (nlohmann::ordered_json& turn : player["turns"]) {
      if (!turn.is_object()) continue;
      turn.erase("stderr");
      turn.erase("stderr_cut");
    }
  }
  return std::string(kHead) +
         record.dump(-1, ' ', true, nlohmann::ordered_json::error_handler_t::replace) +
         std::string(kTail);
}

bool write_turn_record(const std::filesystem::path& file, const TurnRecordSource& source) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << turn_record_script(source);
  out.flush();
  return static_cast<bool>(out);
}

}  // namespace arena
