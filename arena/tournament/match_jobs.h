// One tournament game as one `zarvo-arena match` command. The tournament runs
// exactly these commands itself, and --emit-jobs writes them out, shell-quoted,
// for GNU parallel or a job array, so that a game played either way leaves the
// same files in the same place.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "arena/game_files.h"
#include "arena/tournament/tournament_plan.h"

namespace arena::tournament {

struct MatchJob {
  int number = 0;
  GameFiles files;                // where the game's log and other files will be
  std::vector<std::string> argv;  // argv[0] is the arena program
  std::filesystem::path tiles;    // the game's tile script; empty without a seed
};

// The games of `settings` still to be played in `dir` (an absolute path), as
// commands; their tile scripts are written into dir/refereelogs. Player
// programs are resolved to absolute paths here, so that a command runs the same
// from any working directory. Throws std::runtime_error for a player program
// that cannot be found or a file that cannot be written.
std::vector<MatchJob> prepare_jobs(const TournamentSettings& settings,
                                   const std::vector<ScheduledGame>& games,
                                   const std::filesystem::path& dir);

// `word` as a POSIX shell reads it back: unchanged when it holds only safe
// characters, otherwise in single quotes.
std::string shell_quote(std::string_view word);
std::string shell_command(const std::vector<std::string>& argv);

}  // namespace arena::tournament
