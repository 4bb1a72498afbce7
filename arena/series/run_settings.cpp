#include "arena/series/run_settings.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "arena/match/match.h"
#include "arena/match/match_options.h"
#include "arena/match/sandbox_plan.h"
#include "arena/process/shell_words.h"
#include "arena/series/plan_file.h"

namespace arena::series {
namespace fs = std::filesystem;

namespace {

// The match options that say how games are played and name no file.
constexpr std::array<std::string_view, 11> kShownOptions = {
    "--time-limit", "--clock",      "--wall-limit",       "--move-limit",
    "--increment",  "--grace",      "--memory-limit",     "--process-limit",
    "--file-limit", "--no-sandbox", "--no-syscall-filter"};

// The default memory limit as this machine gives it (it depends on its control groups).
std::string memory_limit_text(const MatchConfig& config) {
  std::size_t mb = memory_limit_mb(config);
  return mb ? std::to_string(mb) : std::string("none");
}

// A match option that takes no value.
bool is_flag(std::string_view word) {
  const MatchOption* option = find_match_option(word);
  return option != nullptr && option->flag;
}

// What a game holds when the run leaves it to the match's defaults.
std::vector<std::pair<std::string, std::string>> match_defaults() {
  const MatchConfig config;
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(config.time_limit).count();
  std::string time = ms % 1000 == 0 ? std::to_string(ms / 1000) : std::to_string(ms) + "ms";
  return {{"time-limit", time},
          {"clock", config.clock == TimeClock::kCpu ? "cpu" : "wall"},
          {"memory-limit", memory_limit_text(config)},
          {"process-limit", std::to_string(config.process_limit)},
          {"file-limit", std::to_string(config.file_limit_mb)}};
}

void read_match_options(std::string_view text, RunSettings& settings) {
  std::vector<std::string> words;
  try {
    words = split_shell_words(text);
  } catch (const std::exception&) {
    return;
  }
  for (std::size_t i = 0; i < words.size(); ++i) {
    std::string word = words[i], value;
    if (auto equals = word.find('='); equals != std::string::npos) {
      value = word.substr(equals + 1);
      word.resize(equals);
    } else if (!is_flag(word) && i + 1 < words.size()) {
      value = words[++i];
    }
    if (std::find(kShownOptions.begin(), kShownOptions.end(), word) == kShownOptions.end())
      continue;
    settings.limits.emplace_back(word.substr(2), is_flag(word) ? "yes" : value);
  }
}

}  // namespace

std::optional<RunSettings> read_run_settings(const fs::path& dir) {
  RunSettings settings;
  std::optional<PlanRecord> plan;
  for (auto [file, kind] :
       {std::pair{kTournamentPlanFile, "tournament"}, {kSprtPlanFile, "sprt"}}) {
    plan = read_plan(dir, file);
    if (!plan) continue;
    settings.kind = kind;
    break;
  }
  if (!plan) return std::nullopt;
  if (plan->format) settings.format = format_name(*plan->format);
  settings.games_per_pair = plan->games_per_pair;
  settings.games = plan->games;
  settings.seed_drawn = plan->drawn_seed.has_value();
  settings.seed = plan->drawn_seed ? *plan->drawn_seed : plan->seed.value_or("");
  if (!plan->match_options.empty())
    read_match_options(joined_options(plan->match_options), settings);
  for (const auto& player : plan->players) settings.players.push_back(player.name);
  for (const auto& [name, value] : match_defaults()) {
    bool given = std::any_of(settings.limits.begin(), settings.limits.end(),
                             [&](const auto& limit) { return limit.first == name; });
    if (!given) settings.limits.emplace_back(name, value);
  }
  return settings;
}

std::string limits_text(const RunSettings& settings) {
  std::string text;
  for (const auto& [name, value] : settings.limits) {
    if (!text.empty()) text += ", ";
    text += name + " " + value;
  }
  return text;
}

}  // namespace arena::series
