#include "arena/series/plan_file.h"

#include <array>
#include <charconv>
#include <random>
#include <stdexcept>

#include "arena/system/atomic_file.h"
#include "arena/system/bounded_read.h"

namespace arena::series {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSeedLine = "drawn-seed ";
// "sources-shake256 NAME HEX" after the player lines, for each player that is a built entry.
constexpr std::string_view kSourcesKey = "sources-shake256";
constexpr std::size_t kMaxSeed = 64;
constexpr std::size_t kMaxPlan = 4 * 1024 * 1024;

std::string kind_of(std::string_view file_name) {
  return file_name == kSprtPlanFile ? "an SPRT test" : "a tournament";
}

// Numbers in the plan as they were read, in their shortest exact form.
std::string exact(double value) {
  std::array<char, 64> text{};
  auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), value);
  return std::string(text.data(), end);
}

// The whole of `text` as a number, or nothing.
template <typename Number>
std::optional<Number> number_in(std::string_view text) {
  Number value{};
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return {};
  return value;
}

std::vector<std::string> split_at_spaces(std::string_view text) {
  std::vector<std::string> words;
  while (true) {
    auto space = text.find(' ');
    words.emplace_back(text.substr(0, space));
    if (space == std::string_view::npos) return words;
    text.remove_prefix(space + 1);
  }
}

void parse_line(std::string_view key, std::string_view value, PlanRecord& plan) {
  auto sprt_number = [&](double SprtPlanLines::*field) {
    if (!plan.sprt) plan.sprt.emplace();
    if (auto number = number_in<double>(value)) (*plan.sprt).*field = *number;
  };
  if (key == "sprt") {
    if (!plan.sprt) plan.sprt.emplace();
  } else if (key == "elo0") {
    sprt_number(&SprtPlanLines::elo0);
  } else if (key == "elo1") {
    sprt_number(&SprtPlanLines::elo1);
  } else if (key == "alpha") {
    sprt_number(&SprtPlanLines::alpha);
  } else if (key == "beta") {
    sprt_number(&SprtPlanLines::beta);
  } else if (key == "format") {
    if (value == format_name(Format::round_robin)) plan.format = Format::round_robin;
    if (value == format_name(Format::gauntlet)) plan.format = Format::gauntlet;
  } else if (key == "games-per-pair") {
    plan.games_per_pair = number_in<int>(value);
  } else if (key == "games") {
    plan.games = number_in<std::size_t>(value);
  } else if (key == "seed") {
    if (value.starts_with('=')) plan.seed = std::string(value.substr(1));
  } else if (key == "drawn-seed") {
    plan.drawn_seed = std::string(value);
  } else if (key == "match-options") {
    if (!value.empty()) plan.match_options = split_at_spaces(value);
  } else if (key == "grown-from") {
    constexpr std::string_view kPlayers = "players ", kGames = " games-per-pair ";
    auto gap = value.find(kGames);
    if (!value.starts_with(kPlayers) || gap == std::string_view::npos) return;
    auto players = number_in<int>(value.substr(kPlayers.size(), gap - kPlayers.size()));
    auto games = number_in<int>(value.substr(gap + kGames.size()));
    plan.earlier_stages.push_back({players.value_or(-1), games.value_or(-1)});
  } else if (key == kSourcesKey) {
    auto space = value.find(' ');
    if (space == std::string_view::npos) return;
    for (TournamentPlayer& player : plan.players) {
      if (player.name == value.substr(0, space)) player.sources = value.substr(space + 1);
    }
  } else if (key == "player") {
    auto equals = value.find('=');
    plan.players.push_back(
        {std::string(value.substr(0, equals)),
         equals == std::string_view::npos ? std::string() : std::string(value.substr(equals + 1))});
  }
}

}  // namespace

std::string_view format_name(Format format) {
  return format == Format::gauntlet ? "gauntlet" : "round-robin";
}

std::string joined_options(const std::vector<std::string>& options) {
  std::string text;
  for (const auto& option : options) text += (text.empty() ? "" : " ") + option;
  return text;
}

std::string plan_text(const PlanRecord& plan) {
  std::string text;
  if (plan.sprt) {
    text += "sprt\nelo0 " + exact(plan.sprt->elo0) + "\nelo1 " + exact(plan.sprt->elo1) +
            "\nalpha " + exact(plan.sprt->alpha) + "\nbeta " + exact(plan.sprt->beta) + "\n";
  }
  if (plan.format) text += "format " + std::string(format_name(*plan.format)) + "\n";
  if (plan.games_per_pair) text += "games-per-pair " + std::to_string(*plan.games_per_pair) + "\n";
  text += "pairs seats-swapped-on-one-tile-script\n";
  if (plan.games) text += "games " + std::to_string(*plan.games) + "\n";
  text += "seed " + (plan.seed ? "=" + *plan.seed : std::string("none")) + "\n";
  text += "match-options";
  for (const auto& option : plan.match_options) text += " " + option;
  text += "\n";
  for (const PlanStage& stage : plan.earlier_stages) {
    text += "grown-from players " + std::to_string(stage.players) + " games-per-pair " +
            std::to_string(stage.games_per_pair) + "\n";
  }
  for (const auto& player : plan.players)
    text += "player " + player.name + "=" + player.command + "\n";
  for (const auto& player : plan.players) {
    if (!player.sources.empty()) {
      text += std::string(kSourcesKey) + " " + player.name + " " + player.sources + "\n";
    }
  }
  return text;
}

PlanRecord parse_plan(std::string_view text) {
  PlanRecord plan;
  while (!text.empty()) {
    std::string_view line = take_line(text);
    auto space = line.find(' ');
    parse_line(line.substr(0, space),
               space == std::string_view::npos ? std::string_view() : line.substr(space + 1), plan);
  }
  return plan;
}

std::optional<PlanRecord> read_plan(const fs::path& dir, std::string_view file_name) {
  std::error_code error;
  if (!fs::is_regular_file(dir / file_name, error)) return std::nullopt;
  return parse_plan(read_head(dir / file_name, kMaxPlan));
}

PlanCheck check_plan(const fs::path& dir, std::string_view file_name, const std::string& plan) {
  for (std::string_view other : {kTournamentPlanFile, kSprtPlanFile}) {
    std::error_code error;
    if (other != file_name && fs::exists(dir / other, error)) {
      throw std::runtime_error(dir.string() + " holds " + kind_of(other) + " (see " +
                               (dir / other).string() + "); use a new directory");
    }
  }
  fs::path file = dir / file_name;
  PlanCheck check;
  std::error_code missing;
  if (!fs::exists(file, missing)) return check;
  // Read no more than the plan, a seed line and one byte to notice a longer file.
  std::string existing = read_head(file, plan.size() + kSeedLine.size() + kMaxSeed + 2);
  std::string_view rest = existing;
  bool same = rest.starts_with(plan);
  if (same) {
    rest.remove_prefix(plan.size());
    if (rest.starts_with(kSeedLine) && rest.ends_with('\n')) {
      std::string_view seed = rest.substr(kSeedLine.size(), rest.size() - kSeedLine.size() - 1);
      same = !seed.empty() && seed.size() <= kMaxSeed &&
             seed.find_first_of(" \n") == std::string_view::npos;
      check.drawn_seed = std::string(seed);
    } else {
      same = rest.empty();
    }
  }
  if (!same) {
    throw std::runtime_error(dir.string() + " holds another " +
                             (file_name == kSprtPlanFile ? "SPRT test" : "tournament") + " (see " +
                             file.string() +
                             "); use a new directory, or the same players and options");
  }
  check.recorded = true;
  return check;
}

void record_plan(const fs::path& dir, std::string_view file_name, const std::string& plan,
                 const std::optional<std::string>& drawn_seed) {
  std::string text = plan;
  if (drawn_seed) text += std::string(kSeedLine) + *drawn_seed + "\n";
  replace_file(dir / file_name, text);
}

std::string draw_seed() {
  std::random_device source;
  static const char* hex = "0123456789abcdef";
  std::string seed;
  for (int i = 0; i < 4; ++i) {
    unsigned value = source();
    for (int nibble = 0; nibble < 8; ++nibble) seed += hex[(value >> (4 * nibble)) & 15];
  }
  return seed;
}

fs::path run_directory(const fs::path& given) {
  fs::path dir = fs::absolute(given).lexically_normal();
  return dir.has_filename() ? dir : dir.parent_path();
}

}  // namespace arena::series
