// `zarvo-arena sprt`: is one program stronger than another? Plays pairs of games between them
// (two games on one tile script, seats swapped) until a sequential probability ratio test
// decides, and reports the test's state after every pair.
#pragma once

#include <span>
#include <string>

namespace arena::cli {

// Exit status: 0 the test decided or reached --max-pairs, 1 some game could not be played,
// 2 bad command line or set-up, 128 + the signal number when stopped by SIGINT, SIGTERM or
// SIGHUP.
int run_sprt_command(std::span<const std::string> args);

}  // namespace arena::cli
