// `zarvo-arena replay LOG --seat N [--until MOVE] [--print] [--no-sandbox] -- COMMAND`: one seat
// of a logged game played again by a bot, each of its answers beside the game's, for a bot
// author to find, and then debug, the move where the bot went its own way.
#pragma once

#include <span>
#include <string>

namespace arena::cli {

// Exit status: 0 every answer matched, 1 one differed, 2 bad command line or a log that cannot
// be read, 128+N stopped by signal N.
int run_replay_command(std::span<const std::string> args);

}  // namespace arena::cli
