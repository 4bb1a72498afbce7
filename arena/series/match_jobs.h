// One tournament game as one `zarvo-arena match` command. The tournament runs
// exactly these commands itself, and --emit-jobs writes them out, shell-quoted,
// for GNU parallel or a job array, so that a game played either way leaves the
// same files in the same place.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "arena/game/game_files.h"
#include "arena/process/shell_words.h"
#include "arena/series/tournament_plan.h"

namespace arena::series {

using arena::shell_quote;  // jobs are shell lines: their words are quoted by it

struct MatchJob {
  int number = 0;
  GameFiles files;                // where the game's log and other files will be
  std::vector<std::string> argv;  // argv[0] is the arena program
  std::filesystem::path tiles;    // the game's tile script
};

// Makes the match commands of games between `settings.players` in `dir` (an absolute path).
// Player programs are resolved to absolute paths once, on construction, so that a command
// runs the same from any working directory. Throws std::runtime_error for a player program
// that cannot be found.
class JobFactory {
 public:
  JobFactory(const TournamentSettings& settings, const std::filesystem::path& dir,
             std::string tile_seed);

  // The game's command; its tile script, derived from the tile seed and the game's pair
  // number, is written into dir/refereelogs. Throws std::runtime_error when it cannot be.
  MatchJob make(const ScheduledGame& game) const;

 private:
  const TournamentSettings& settings_;
  std::filesystem::path dir_;
  std::string tile_seed_;
  std::vector<std::string> commands_;
  std::vector<std::string> entrant_dirs_;  // of every player, hidden in every game
  std::filesystem::path arena_;
};

// The commands of `games`, made by one JobFactory.
std::vector<MatchJob> prepare_jobs(const TournamentSettings& settings,
                                   const std::vector<ScheduledGame>& games,
                                   const std::filesystem::path& dir, const std::string& tile_seed);

// Removes every file the game of `log` left in dir/refereelogs (see remove_game_files), so that
// it no longer counts as played. The tile script stays.
void discard_game_files(const std::filesystem::path& log);
std::string shell_command(const std::vector<std::string>& argv);

// Throws std::runtime_error naming `word` (`what` says what it is) when it holds a control
// character: POSIX sh has no quoting that keeps such a word on one line.
void check_one_line(std::string_view word, std::string_view what);

// The job as one line of a shell script that plays its game and nothing else. Throws as
// check_one_line does for any word of the command.
std::string job_line(const MatchJob& job);

}  // namespace arena::series
