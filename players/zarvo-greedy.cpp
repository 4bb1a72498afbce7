// zarvo-greedy: plays the legal move after which its own colour scores most, choosing at random
// among equally good moves. Usage: zarvo-greedy [--seed N]   (other arguments are ignored)
#include <random>
#include <string>
#include <vector>

#include "players/bot_loop.h"
#include "referee/scoring.h"

int main(int argc, char** argv) {
  std::mt19937_64 random(std::random_device{}());
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string(argv[i]) == "--seed") random.seed(std::stoull(argv[i + 1]));
  }
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
