// zarvo-greedy: plays the legal move after which its own colour scores most, choosing at random
// among equally good moves. Usage: zarvo-greedy [--seed N]   (other arguments are ignored)
#include <random>
#include <string_view>
#include <vector>

#include "players/bot_arguments.h"
#include "players/bot_loop.h"
#include "referee/scoring.h"

constexpr std::string_view kUsage =
    "usage: zarvo-greedy [--seed N]\n"
    "A Zarvo bot: plays the legal move after which its own colour scores most, choosing at "
    "random\namong equally good moves.\n"
    "It reads the referee's lines on standard input and answers on standard output; play it\n"
    "with zarvo-arena match. --seed N plays the same moves again for the same game.\n";

int main(int argc, char** argv) {
  const BotArguments arguments = read_bot_arguments(argc, argv);
  if (auto status = answer_bot_arguments(arguments, kUsage)) return *status;
  std::mt19937_64 random(arguments.seed.value_or(std::random_device{}()));
  std::vector<int> best;
  return play_game([&](const BotView& view, const move* moves, int count) -> const move& {
    int best_score = -1;
    best.clear();
    for (int i = 0; i < count; ++i) {
      situatie after = view.board;  // try the move on a copy
      move m = moves[i];
      plaats(after, m);
      int score = telpunten(after.bord, view.colour);
      if (score > best_score) {
        best_score = score;
        best.clear();
      }
      if (score == best_score) best.push_back(i);
    }
    return moves[best[std::uniform_int_distribution<size_t>(0, best.size() - 1)(random)]];
  });
}
