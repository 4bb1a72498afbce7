// `zarvo-arena tournament`: many games between several programs, with
// standings.
#pragma once

#include <span>
#include <string>

namespace arena::cli {

// Exit status: 0 all games finished, 1 some game could not be played, 2 bad
// command line or set-up, 128 + the signal number when stopped by SIGINT,
// SIGTERM or SIGHUP.
int run_tournament_command(std::span<const std::string> args);

}  // namespace arena::cli
