// `zarvo-arena match`: one game from the command line, reported in one result line.
#pragma once

#include <span>
#include <string>

namespace arena::cli {

// Exit status: 0 when the game was played and reported, 1 when the referee failed or the game
// could not be run, 2 for a command line or set-up that cannot be played, 128 + N when stopped
// by signal N (SIGINT, SIGTERM, SIGHUP), after the game's processes were killed.
int run_match_command(std::span<const std::string> args);

// The text of `zarvo-arena match --help`.
std::string match_usage();

}  // namespace arena::cli
