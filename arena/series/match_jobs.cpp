#include "arena/series/match_jobs.h"

#include <algorithm>
#include <stdexcept>

#include "arena/game/game_files.h"
#include "arena/match/disqualification_notes.h"
#include "arena/match/entrant_dirs.h"
#include "arena/match/player_command.h"
#include "arena/process/program_path.h"
#include "arena/process/shell_words.h"
#include "arena/series/tile_script.h"
#include "arena/system/atomic_file.h"

namespace arena::series {
namespace fs = std::filesystem;

namespace {

std::string absolute_command(const TournamentPlayer& player, ProgramLookup lookup,
                             std::vector<std::string>& dirs) {
  std::vector<std::string> words = split_shell_words(player.command);
  try {
    PlayerCommand entry = resolve_player(words, lookup);
    for (const fs::path& dir : entrant_dirs(entry, entry.workdir)) {
      if (std::find(dirs.begin(), dirs.end(), dir.string()) == dirs.end()) {
        dirs.push_back(dir.string());
      }
    }
    words = entry.arguments;
    words.at(0) = entry.program.string();
  } catch (const std::exception& error) {
    throw std::runtime_error("player " + player.name + ": " + error.what());
  }
  return shell_command(words);
}

}  // namespace

std::string shell_command(const std::vector<std::string>& argv) {
  std::string command;
  for (const auto& word : argv) {
    if (!command.empty()) command += ' ';
    command += shell_quote(word);
  }
  return command;
}

void check_one_line(std::string_view word, std::string_view what) {
  if (has_control_character(word)) {
    throw std::runtime_error(std::string(what) + " \"" + printable(word, 200) +
                             "\" holds a control character ('?' here), which no line of a job "
                             "file can carry; no job file was written");
  }
}

std::string job_line(const MatchJob& job) {
  for (const std::string& word : job.argv) {
    check_one_line(word, "game " + std::to_string(job.number) + ": the word");
  }
  return shell_command(job.argv);
}

JobFactory::JobFactory(const TournamentSettings& settings, const fs::path& dir,
                       std::string tile_seed)
    : settings_(settings),
      dir_(dir),
      tile_seed_(std::move(tile_seed)),
      arena_(own_directory() / "zarvo-arena") {
  const bool sandboxed = std::find(settings.match_options.begin(), settings.match_options.end(),
                                   "--no-sandbox") == settings.match_options.end();
  for (const auto& player : settings.players) {
    commands_.push_back(absolute_command(
        player, sandboxed ? ProgramLookup::kSandbox : ProgramLookup::kArena, entrant_dirs_));
  }
  fs::create_directories(GameFiles::log_dir_of(dir_));
}

MatchJob JobFactory::make(const ScheduledGame& game) const {
  const std::string& first = settings_.players[game.first].name;
  const std::string& second = settings_.players[game.second].name;
  std::string id = std::to_string(game.number);
  MatchJob job{game.number, GameFiles(dir_, first, second, id), {}, {}};
  // Quiet: a game's warnings would only stand before the reason it failed, if it does.
  job.argv = {arena_.string(), "match", "--quiet",     "--name1", first, "--name2",
              second,          "--dir", dir_.string(), "--id",    id};
  job.tiles = job.files.tiles();
  replace_file(job.tiles, derive_tile_script(tile_seed_, game.pair));
  job.argv.insert(job.argv.end(), {"--tiles", job.tiles.string()});
  job.argv.insert(job.argv.end(), settings_.match_options.begin(), settings_.match_options.end());
  for (const std::string& dir : entrant_dirs_)
    job.argv.insert(job.argv.end(), {"--entrant-dir", dir});
  job.argv.insert(job.argv.end(), {"--", commands_[game.first], commands_[game.second]});
  return job;
}

std::vector<MatchJob> prepare_jobs(const TournamentSettings& settings,
                                   const std::vector<ScheduledGame>& games, const fs::path& dir,
                                   const std::string& tile_seed) {
  JobFactory factory(settings, dir, tile_seed);
  std::vector<MatchJob> jobs;
  for (const auto& game : games) jobs.push_back(factory.make(game));
  return jobs;
}

void discard_game_files(const fs::path& log) {
  if (auto files = GameFiles::from_log(log)) remove_game_files(*files);
}

}  // namespace arena::series
