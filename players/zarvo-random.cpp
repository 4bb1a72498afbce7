// zarvo-random: plays a uniformly random legal move. The smallest useful bot; copy it to start
// your own. Usage: zarvo-random [--seed N]   (other arguments are ignored)
#include <random>
#include <string_view>

#include "players/bot_arguments.h"
#include "players/bot_loop.h"

constexpr std::string_view kUsage =
    "usage: zarvo-random [--seed N]\n"
    "A Zarvo bot: plays a uniformly random legal move.\n"
    "It reads the referee's lines on standard input and answers on standard output; play it\n"
    "with zarvo-arena match. --seed N plays the same moves again for the same game.\n";

int main(int argc, char** argv) {
  const BotArguments arguments = read_bot_arguments(argc, argv);
  if (auto status = answer_bot_arguments(arguments, kUsage)) return *status;
  std::mt19937_64 random(arguments.seed.value_or(std::random_device{}()));
  return play_game([&](const BotView&, const move* moves, int count) -> const move& {
    return moves[std::uniform_int_distribution<int>(0, count - 1)(random)];
  });
}
