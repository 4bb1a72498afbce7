// `zarvo-arena show LOG [--move N]`: a logged game's board after one of its moves, on the
// terminal, with the players' colours and points and the tile to be placed next.
#pragma once

#include <span>
#include <string>

namespace arena::cli {

// Exit status: 0 shown, 2 bad command line or a log that cannot be read.
int run_show_command(std::span<const std::string> args);

}  // namespace arena::cli
