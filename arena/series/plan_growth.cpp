#include "arena/series/plan_growth.h"

#include <charconv>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "arena/series/plan_file.h"
#include "arena/system/bounded_read.h"

namespace arena::tournament {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxPlan = 4 * 1024 * 1024;

struct RecordedPlan {
  std::string format, seed, match_options;
  int games_per_pair = 0;
  std::vector<TournamentPlayer> players;
  std::vector<PlanStage> stages;
  std::optional<std::string> drawn_seed;
};

int to_int(std::string_view text) {
  int value = -1;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

RecordedPlan parse(std::string_view text) {
  RecordedPlan plan;
  while (!text.empty()) {
    auto newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
    auto take = [&](std::string_view key) {
      if (!line.starts_with(key)) return false;
      line.remove_prefix(key.size());
      return true;
    };
    if (take("format "))
      plan.format = line;
    else if (take("games-per-pair "))
      plan.games_per_pair = to_int(line);
    else if (take("seed "))
      plan.seed = line;
    else if (take("drawn-seed "))
      plan.drawn_seed = std::string(line);
    else if (take("match-options"))
      plan.match_options = line;
    else if (take("player ")) {
      auto equals = line.find('=');
      plan.players.push_back(
          {std::string(line.substr(0, equals)), equals == std::string_view::npos
                                                    ? std::string()
                                                    : std::string(line.substr(equals + 1))});
    } else if (take("grown-from players ")) {
      auto gap = line.find(" games-per-pair ");
      if (gap != std::string_view::npos)
        plan.stages.push_back({to_int(line.substr(0, gap)), to_int(line.substr(gap + 16))});
    }
  }
  return plan;
}

std::string options_text(const std::vector<std::string>& options) {
  std::string text;
  for (const auto& option : options) text += " " + option;
  return text;
}

// What keeps `wanted` from growing `recorded`, or nothing.
std::optional<std::string> change(const RecordedPlan& recorded, const TournamentSettings& wanted) {
  std::string format = wanted.format == Format::gauntlet ? "gauntlet" : "round-robin";
  if (recorded.format != format)
    return "the format changed from " + recorded.format + " to " + format;
  std::string seed = wanted.seed ? "=" + *wanted.seed : std::string("none");
  if (recorded.seed != seed) return "the seed changed";
  std::string options = options_text(wanted.match_options);
  if (recorded.match_options != options) {
    return "the match options changed from \"" +
           recorded.match_options.substr(recorded.match_options.empty() ? 0 : 1) + "\" to \"" +
           options.substr(options.empty() ? 0 : 1) + "\"";
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
    if (*now != i) return "player " + old.name + " moved in the list; new players come last";
  }
  if (wanted.games_per_pair < recorded.games_per_pair) {
    return "--games-per-pair went down from " + std::to_string(recorded.games_per_pair) + " to " +
           std::to_string(wanted.games_per_pair);
  }
  return std::nullopt;
}

}  // namespace

PlanGrowth grow_plan(const fs::path& dir, TournamentSettings& wanted) {
  PlanGrowth growth;
  fs::path file = dir / kTournamentPlanFile;
  std::error_code missing;
  if (!fs::is_regular_file(file, missing)) return growth;
  RecordedPlan recorded = parse(read_head(file, kMaxPlan));
  if (auto what = change(recorded, wanted)) {
    throw std::runtime_error(dir.string() + " holds another tournament: " + *what + " (see " +
                             file.string() + "); use a new directory");
  }
  wanted.earlier_stages = recorded.stages;
  const bool more_players = wanted.players.size() > recorded.players.size();
  const bool more_games = wanted.games_per_pair > recorded.games_per_pair;
  if (more_players || more_games) {
    wanted.earlier_stages.push_back(
        {static_cast<int>(recorded.players.size()), recorded.games_per_pair});
    growth.grown = true;
    growth.drawn_seed = recorded.drawn_seed;
  }
  return growth;
}

}  // namespace arena::tournament
