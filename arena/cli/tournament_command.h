// `zarvo-arena tournament`: many games between several programs, with
// standings; and `zarvo-arena standings DIR`: the summary files of a tournament
// directory rebuilt from its logs.
#pragma once

#include <span>
#include <string>

namespace arena::cli {

// Exit status: 0 all games finished, 1 some game could not be played, 2 bad
// command line or set-up, 128 + the signal number when stopped by SIGINT,
// SIGTERM or SIGHUP.
int run_tournament_command(std::span<const std::string> args);

// Exit status: 0 done, 2 bad command line or no game logs directory.
int run_standings_command(std::span<const std::string> args);

}  // namespace arena::cli
