// zarvo-random: plays a uniformly random legal move. The smallest useful bot; copy it to start
// your own. Usage: zarvo-random [--seed N]   (other arguments are ignored)
#include <random>
#include <string>

#include "players/bot_loop.h"

int main(int argc, char** argv) {
  std::mt19937_64 random(std::random_device{}());
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == "--seed") random.seed(std::stoull(argv[i + 1]));
  }
  return play_game([&](const BotView&, const move* moves, int count) -> const move& {
    return moves[std::uniform_int_distribution<int>(0, count - 1)(random)];
  });
}
