#include "arena/series/tournament_plan.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <stdexcept>
#include <system_error>

#include "arena/entry/entry_file.h"
#include "arena/game/game_names.h"
#include "arena/match/disqualification_notes.h"
#include "arena/match/player_command.h"
#include "arena/process/shell_words.h"
#include "arena/series/plan_file.h"

namespace arena::series {
namespace fs = std::filesystem;

namespace {
constexpr std::uintmax_t kMaxPlayersFile = 1024 * 1024;

long long pairing_count(Format format, long long n) {
  return format == Format::gauntlet ? std::max(0LL, n - 1) : n * (n - 1) / 2;
}

std::vector<PlanStage> stages_of(const TournamentSettings& settings) {
  std::vector<PlanStage> stages = settings.earlier_stages;
  stages.push_back({static_cast<int>(settings.players.size()), settings.games_per_pair});
  return stages;
}

}  // namespace

long long scheduled_game_count(const TournamentSettings& settings) {
  // Players only join and games per pair only rise, so that each stage adds its new pairings'
  // pairs and the old pairings' missing ones.
  long long games = 0, players = 0, pairs = 0;
  for (const PlanStage& stage : stages_of(settings)) {
    long long per_pairing = stage.games_per_pair / 2;
    long long old_pairings = pairing_count(settings.format, players);
    long long all = pairing_count(settings.format, stage.players);
    games += 2 * ((all - old_pairings) * per_pairing +
                  old_pairings * std::max(0LL, per_pairing - pairs));
    players = std::max<long long>(players, stage.players);
    pairs = std::max(pairs, per_pairing);
  }
  return games;
}

std::array<ScheduledGame, 2> paired_games(int pair, int a, int b) {
  return {ScheduledGame{2 * pair - 1, a, b, pair}, ScheduledGame{2 * pair, b, a, pair}};
}

std::vector<ScheduledGame> schedule_games(const TournamentSettings& settings) {
  std::map<std::pair<int, int>, int> played;  // pairs of each pairing so far
  std::vector<ScheduledGame> games;
  for (const PlanStage& stage : stages_of(settings)) {
    std::vector<std::pair<int, int>> pairings;
    int count = std::min(stage.players, static_cast<int>(settings.players.size()));
    for (int i = 0; i < count; ++i) {
      for (int j = i + 1; j < count; ++j) {
        if (settings.format == Format::gauntlet && i != 0) break;
        pairings.emplace_back(i, j);
      }
    }
    for (int round = 0; round < stage.games_per_pair / 2; ++round) {
      for (auto [a, b] : pairings) {
        int& pairs = played[{a, b}];
        if (pairs > round) continue;
        ++pairs;
        int pair = static_cast<int>(games.size()) / 2 + 1;
        for (const auto& game : paired_games(pair, a, b)) games.push_back(game);
      }
    }
  }
  return games;
}

TournamentPlayer parse_player(std::string_view text) {
  TournamentPlayer player;
  auto equals = text.find('=');
  // A '=' may also belong to the command ("bot --level=3"): it separates a name
  // only when what stands before it is a valid name.
  if (equals != std::string_view::npos && !player_name_problem(text.substr(0, equals))) {
    player.name = text.substr(0, equals);
    text.remove_prefix(equals + 1);
  }
  // A built entry's directory plays its entry's command and is named after the directory.
  if (std::string given(text); entry::is_entry(given)) {
    try {
      player.command = entry::entry_command(given);
      player.sources = entry::read_entry_record(given)->sources;
    } catch (const std::runtime_error& error) {
      throw std::invalid_argument(error.what());
    }
    if (player.name.empty()) {
      player.name = name_from_program(fs::absolute(given).lexically_normal().filename().string());
    }
    return player;
  }
  player.command = text;
  std::vector<std::string> words = split_shell_words(text);
  if (words.empty())
    throw std::invalid_argument("player without a command: \"" + player.command + "\"");
  if (player.name.empty()) {
    try {
      player.name = resolve_player(words, ProgramLookup::kSandbox).name;
    } catch (const std::exception&) {
      // Not found: the error comes when the games are prepared; the name is only a default.
      auto slash = words[0].rfind('/');
      player.name =
          name_from_program(slash == std::string::npos ? words[0] : words[0].substr(slash + 1));
    }
  }
  return player;
}

std::vector<TournamentPlayer> read_players_file(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read the players file " + path);
  std::error_code error;
  if (std::filesystem::file_size(path, error) > kMaxPlayersFile) {
    throw std::runtime_error("the players file " + path + " is larger than 1 MiB");
  }
  std::vector<TournamentPlayer> players;
  std::string line;
  int number = 0;
  constexpr std::size_t kMaxLine = 4096;
  while (std::getline(in, line)) {
    ++number;
    if (line.size() > kMaxLine) {
      throw std::invalid_argument(path + ":" + std::to_string(number) + ": line too long");
    }
    auto start = line.find_first_not_of(" \t\r");
    if (start == std::string::npos || line[start] == '#') continue;
    auto end = line.find_last_not_of(" \t\r");
    try {
      players.push_back(parse_player(std::string_view(line).substr(start, end - start + 1)));
    } catch (const std::invalid_argument& error) {
      throw std::invalid_argument(path + ":" + std::to_string(number) + ": " + error.what());
    }
  }
  return players;
}

std::vector<TournamentPlayer> entry_players(const std::string& dir,
                                            std::vector<LeftOutEntry>& left_out) {
  std::vector<TournamentPlayer> players;
  std::vector<fs::path> entries;
  try {
    entries = entry::entries_below(dir);
  } catch (const std::runtime_error& error) {
    throw std::invalid_argument(error.what());
  }
  for (const fs::path& entry : entries) {
    // An entry is a directory of DIR's own: a link could lead an entrant's record anywhere.
    std::error_code error;
    if (fs::is_symlink(entry, error)) {
      left_out.push_back(
          {std::nullopt, entry.string() + ": a symbolic link, not a directory of " + dir});
      continue;
    }
    std::optional<entry::EntryRecord> record;
    try {
      record = entry::read_entry_record(entry);
    } catch (const std::runtime_error& error) {
      left_out.push_back(
          {NotBuiltEntry{entry.filename().string(), error.what(), fs::absolute(entry)},
           error.what()});
      continue;
    }
    if (!record || !record->ok()) {
      std::string result = record ? record->result : "is missing";
      // The path is kept absolute: publish may run from another directory.
      left_out.push_back({NotBuiltEntry{entry.filename().string(), record ? result : "not built",
                                        fs::absolute(entry)},
                          entry.string() + ": its build " + result});
      continue;
    }
    players.push_back(parse_player(entry.string()));
  }
  if (players.empty() && left_out.empty()) {
    throw std::invalid_argument("no built entry below " + dir + " (zarvo-arena build " + dir +
                                "/*)");
  }
  return players;
}

void check_players(const std::vector<TournamentPlayer>& players) {
  if (players.size() < 2) throw std::invalid_argument("a tournament needs at least two players");
  std::set<std::string> names;
  for (const auto& player : players) {
    if (auto problem = player_name_problem(player.name)) throw std::invalid_argument(*problem);
    // The command goes into lines of files (the plan, job lines), which a control character
    // would break; its blanks are no concern, they only separate words.
    for (const std::string& word : split_shell_words(player.command)) {
      if (has_control_character(word)) {
        throw std::invalid_argument("player " + player.name + ": its command holds \"" +
                                    printable(word, 200) +
                                    "\" with a control character ('?' here), which no command "
                                    "line of the arena can carry");
      }
    }
    if (!names.insert(player.name).second) {
      throw std::invalid_argument("two players are named " + player.name +
                                  "; name them apart with NAME=COMMAND");
    }
  }
}

std::string describe_plan(const TournamentSettings& settings) {
  PlanRecord plan;
  plan.format = settings.format;
  plan.games_per_pair = settings.games_per_pair;
  plan.games = static_cast<std::size_t>(scheduled_game_count(settings));
  plan.seed = settings.seed;
  plan.match_options = settings.match_options;
  plan.earlier_stages = settings.earlier_stages;
  plan.players = settings.players;
  return plan_text(plan);
}

std::optional<std::size_t> planned_games(std::string_view plan) { return parse_plan(plan).games; }

}  // namespace arena::series
