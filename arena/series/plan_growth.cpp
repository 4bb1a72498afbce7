#include "arena/series/plan_growth.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "arena/series/plan_file.h"

namespace arena::series {
namespace fs = std::filesystem;

namespace {

std::string format_text(const std::optional<Format>& format) {
  return format ? std::string(format_name(*format)) : std::string();
}

// The first game the recorded player `index` plays in the recorded plan.
int first_game_of(const PlanRecord& recorded, int index) {
  TournamentSettings settings;
  settings.players = recorded.players;
  settings.format = recorded.format.value_or(Format::round_robin);
  settings.games_per_pair = recorded.games_per_pair.value_or(0);
  settings.earlier_stages = recorded.earlier_stages;
  for (const ScheduledGame& game : schedule_games(settings)) {
    if (game.first == index || game.second == index) return game.number;
  }
  return 1;
}

// What keeps `wanted` from growing `recorded`, or nothing.
std::optional<std::string> change(const PlanRecord& recorded, const TournamentSettings& wanted) {
  if (recorded.format != wanted.format) {
    return "the format changed from " + format_text(recorded.format) + " to " +
           format_text(wanted.format);
  }
  if (recorded.seed != wanted.seed) return "the seed changed";
  if (recorded.match_options != wanted.match_options) {
    return "the match options changed from \"" + joined_options(recorded.match_options) +
           "\" to \"" + joined_options(wanted.match_options) + "\"";
  }
  for (std::size_t i = 0; i < recorded.players.size(); ++i) {
    const TournamentPlayer& old = recorded.players[i];
    std::optional<std::size_t> now;
    for (std::size_t j = 0; j < wanted.players.size(); ++j) {
      if (wanted.players[j].name == old.name) now = j;
    }
    if (!now)
      return "player " + old.name +
             " was removed (--exclude NAME on standings and publish leaves it out of the tables)";
    if (wanted.players[*now].command != old.command) {
      return "the command of player " + old.name + " changed from \"" + old.command + "\" to \"" +
             wanted.players[*now].command + "\"";
    }
  }
  const int recorded_games_per_pair = recorded.games_per_pair.value_or(0);
  if (wanted.games_per_pair < recorded_games_per_pair) {
    return "--games-per-pair went down from " + std::to_string(recorded_games_per_pair) + " to " +
           std::to_string(wanted.games_per_pair);
  }
  return std::nullopt;
}

// The first recorded entry whose sources changed, as the refusal names it, or nothing. An entry
// recorded without the hash of its sources (by an older arena) cannot be told apart.
std::optional<std::string> changed_entry(const PlanRecord& recorded,
                                         const TournamentSettings& wanted) {
  for (std::size_t i = 0; i < recorded.players.size(); ++i) {
    const TournamentPlayer& old = recorded.players[i];
    for (const TournamentPlayer& now : wanted.players) {
      if (now.name == old.name && !old.sources.empty() && now.sources != old.sources) {
        return old.name + " changed since game " +
               std::to_string(first_game_of(recorded, static_cast<int>(i))) +
               ": build it as a new entrant, e.g. " + old.name + "-v2";
      }
    }
  }
  return std::nullopt;
}

}  // namespace

PlanGrowth grow_plan(const fs::path& dir, TournamentSettings& wanted) {
  PlanGrowth growth;
  fs::path file = dir / kTournamentPlanFile;
  std::optional<PlanRecord> plan = read_plan(dir, kTournamentPlanFile);
  if (!plan) return growth;
  const PlanRecord& recorded = *plan;
  // The games played under that name were the old program's: the name must keep standing for it.
  if (auto what = changed_entry(recorded, wanted)) {
    throw std::runtime_error(*what + " (" + file.string() + " holds its earlier sources)");
  }
  if (auto what = change(recorded, wanted)) {
    throw std::runtime_error(dir.string() + " holds another tournament: " + *what + " (see " +
                             file.string() + "); use a new directory");
  }
  std::vector<TournamentPlayer> players;
  for (const TournamentPlayer& old : recorded.players) {
    auto now = std::find_if(wanted.players.begin(), wanted.players.end(),
                            [&](const TournamentPlayer& p) { return p.name == old.name; });
    players.push_back(std::move(*now));
    players.back().sources = old.sources;  // the same, or unknown before
    wanted.players.erase(now);
  }
  for (TournamentPlayer& added : wanted.players) players.push_back(std::move(added));
  wanted.players = std::move(players);
  wanted.earlier_stages = recorded.earlier_stages;
  const bool more_players = wanted.players.size() > recorded.players.size();
  const bool more_games = wanted.games_per_pair > recorded.games_per_pair.value_or(0);
  if (more_players || more_games) {
    wanted.earlier_stages.push_back(
        {static_cast<int>(recorded.players.size()), recorded.games_per_pair.value_or(0)});
    growth.grown = true;
    growth.drawn_seed = recorded.drawn_seed;
  }
  return growth;
}

}  // namespace arena::series
