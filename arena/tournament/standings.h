// Standings of a tournament from its played games, and the Elo estimate of each
// player.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "arena/tournament/game_record.h"

namespace arena::tournament {

struct Standing {
  std::string name;
  int games = 0;
  int wins = 0;
  int draws = 0;
  int losses = 0;
  std::array<int, kDisqualificationReasons.size()> disqualifications{};  // by reason
  long long value_sum = 0;  // sum of the player's result values

  double mean_value() const { return games ? static_cast<double>(value_sum) / games : 0.0; }
  // Points (a win 1, a draw 1/2) per game, 0 to 1.
  double score() const { return games ? (wins + 0.5 * draws) / games : 0.0; }
};

// The Elo difference of a player to the field it met, and the half-width of its
// 95% confidence interval. Either may be infinite (a player who won or lost
// everything); both are NaN without games.
struct EloEstimate {
  double difference;
  double margin;
};
EloEstimate estimate_elo(int wins, int draws, int losses);

// A game counts for each player as a win, draw or loss: a disqualified player
// loses; against a disqualified opponent a player wins; otherwise the higher
// result value wins and equal values draw. Ordered by score, then mean result
// value, then name.
std::vector<Standing> compute_standings(const std::vector<GameRecord>& games);

}  // namespace arena::tournament
