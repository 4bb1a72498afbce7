// `zarvo-arena play-human`: a person plays one seat of a real game against a bot, at a web page
// the arena serves on 127.0.0.1.
#pragma once

#include <span>
#include <string>

namespace arena::cli {

// Exit status as `match`'s: 0 when the game was played and reported, 1 when it could not be run
// or the referee failed, 2 for a command line or set-up that cannot be played, 128 + N when
// stopped by signal N.
int run_play_human_command(std::span<const std::string> args);

// The text of `zarvo-arena play-human --help`.
std::string play_human_usage();

}  // namespace arena::cli
