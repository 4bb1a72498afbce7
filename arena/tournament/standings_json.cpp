#include "arena/tournament/standings_json.h"

#include <chrono>
#include <climits>
#include <cmath>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string_view>

#include "arena/match/option_values.h"

namespace arena::tournament {
using namespace arena::series;

namespace {

using nlohmann::json;

json number(double value) { return std::isfinite(value) ? json(value) : json(nullptr); }

// Each limit's number under a key that names its unit, beside the option's own text.
struct NumericLimit {
  std::string_view option;
  std::string_view key;
  bool seconds;  // a duration; else a count or megabytes, where "none" is 0
};
constexpr NumericLimit kNumericLimits[] = {{"time-limit", "time_limit_s", true},
                                           {"wall-limit", "wall_limit_s", true},
                                           {"move-limit", "move_limit_s", true},
                                           {"increment", "increment_s", true},
                                           {"grace", "grace_s", true},
                                           {"memory-limit", "memory_limit_mb", false},
                                           {"process-limit", "process_limit", false},
                                           {"file-limit", "file_limit_mb", false}};

json limit_number(const NumericLimit& limit, const std::string& value) {
  try {
    if (!limit.seconds) return value == "none" ? 0 : parse_whole(value, 0, LLONG_MAX);
    if (value == "0") return 0.0;
    return std::chrono::duration<double>(parse_duration(value)).count();
  } catch (const std::invalid_argument&) {
    return nullptr;  // the plan file holds what no game would have taken
  }
}

json settings_json(const RunSettings& settings) {
  json limits = json::object();
  for (const auto& [name, value] : settings.limits) limits[name] = value;
  for (const NumericLimit& limit : kNumericLimits) {
    for (const auto& [name, value] : settings.limits) {
      if (name == limit.option) limits[std::string(limit.key)] = limit_number(limit, value);
    }
  }
  return {{"kind", settings.kind},
          {"format", settings.format.empty() ? json(nullptr) : json(settings.format)},
          {"games_per_pair", settings.games_per_pair ? json(*settings.games_per_pair) : json()},
          {"planned_games", settings.games ? json(*settings.games) : json()},
          {"seed", settings.seed},
          {"seed_drawn", settings.seed_drawn},
          {"players", settings.players},
          {"limits", limits}};
}

json standing_json(std::size_t rank, const Standing& s) {
  json reasons = json::object();
  for (std::size_t i = 0; i < kDisqualificationReasons.size(); ++i)
    reasons[std::string(kDisqualificationReasons[i])] = s.disqualifications[i];
  return {{"rank", rank},
          {"player", s.name},
          {"games", s.games},
          {"wins", s.wins},
          {"draws", s.draws},
          {"losses", s.losses},
          {"disqualifications", reasons},
          {"mean", number(s.mean_value())},
          {"score", number(s.score())},
          {"elo", number(s.elo)},
          {"elo_margin", number(s.elo_margin)},
          {"los_next", number(s.los_next)}};
}

json game_json(const GameRecord& g) {
  GameOutcome outcome = outcome_of(g);
  json cpu = json::array(), peak = json::array();
  for (int side = 0; side < 2; ++side) {
    cpu.push_back(g.usage[side] ? json(g.usage[side]->cpu_ms) : json());
    peak.push_back(g.usage[side] && g.usage[side]->peak_kib ? json(*g.usage[side]->peak_kib)
                                                            : json());
  }
  return {{"game", g.id},
          {"players", {g.names[0], g.names[1]}},
          {"results", {g.values[0], g.values[1]}},
          {"texts", {g.texts[0], g.texts[1]}},
          {"winner", outcome.winner ? json(g.names[outcome.winner - 1]) : json()},
          {"draw", outcome.draw},
          {"outcome", outcome.story(sides_of(g))},
          {"points", {outcome.points()[0], outcome.points()[1]}},
          {"cpu_ms", cpu},
          {"peak_kib", peak},
          {"log", g.log.generic_string()},
          {"page", g.page.generic_string()}};
}

}  // namespace

std::string standings_json(const TournamentReport& report,
                           const std::optional<RunSettings>& settings) {
  json standings = json::array();
  for (std::size_t i = 0; i < report.field.rows.size(); ++i)
    standings.push_back(standing_json(i + 1, report.field.rows[i]));
  json names = json::array(), points = json::array(), games = json::array();
  for (std::size_t r = 0; r < report.field.rows.size(); ++r) {
    names.push_back(report.field.rows[r].name);
    json point_row = json::array(), game_row = json::array();
    for (const CrossCell& cell : report.field.cross[r]) {
      point_row.push_back(cell.points);
      game_row.push_back(cell.games);
    }
    points.push_back(point_row);
    games.push_back(game_row);
  }
  json not_built = json::array();
  for (const NotBuiltEntry& entry : report.not_built)
    not_built.push_back({{"player", entry.name}, {"reason", entry.reason}});
  json listed = json::array();
  for (const GameRecord& game : report.games) listed.push_back(game_json(game));
  json document = {{"finished", report.finished},
                   {"unfinished", report.unfinished.size()},
                   {"planned", report.planned ? json(*report.planned) : json()},
                   {"live", report.live},
                   {"settings", settings ? settings_json(*settings) : json()},
                   {"standings", standings},
                   {"crosstable", {{"players", names}, {"points", points}, {"games", games}}},
                   {"games", listed},
                   {"not_built", not_built}};
  return document.dump(1) + "\n";
}

}  // namespace arena::tournament
