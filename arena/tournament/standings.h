// Standings of a tournament: each player's record, one rating per player fitted over all
// games (arena/stats/rating_fit.h), the likelihood of superiority between players next to each
// other in the ranking, and the crosstable. StandingsTally keeps running per-player and
// per-pairing totals, so a finished game costs one update, and the standings cost a rating
// fit over the pairings, however many games there were.
#pragma once

#include <array>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "arena/series/game_record.h"
#include "arena/stats/rating_fit.h"

namespace arena::tournament {

struct Standing {
  std::string name;
  int games = 0;
  int wins = 0;
  int draws = 0;
  int losses = 0;
  std::array<int, kDisqualificationReasons.size()> disqualifications{};  // by reason
  long long value_sum = 0;  // sum of the player's result values
  double elo = 0;           // the fitted rating, mean 0 over the field
  double elo_margin = 0;    // half the width of its 95% interval
  double los_next = NAN;    // LOS over the player ranked next below; NaN for the last

  double mean_value() const { return games ? static_cast<double>(value_sum) / games : 0.0; }
  // Points (a win 1, a draw 1/2) per game, 0 to 1.
  double score() const { return games ? (wins + 0.5 * draws) / games : 0.0; }
};

// What the player of one row scored against the player of another.
struct CrossCell {
  int games = 0;
  double points = 0;
};

struct FieldStandings {
  std::vector<Standing> rows;                 // ranked
  std::vector<std::vector<CrossCell>> cross;  // [row][column], in the order of rows
};

class StandingsTally {
 public:
  void add(const series::GameRecord& game);
  int games() const { return games_; }
  // Ranked by rating, then score, then mean result value, then name. Each call fits the
  // ratings, starting from the previous fit.
  FieldStandings standings();

 private:
  std::size_t player(const std::string& name);

  std::map<std::string, std::size_t, std::less<>> index_;
  std::vector<Standing> players_;
  std::vector<std::vector<CrossCell>> cross_;
  // Games both players lost by disqualification are left out: they say nothing about
  // strength.
  stats::PairingResults results_;
  std::vector<double> last_fit_;
  int games_ = 0;
};

// The standings of `games` in one go.
FieldStandings compute_field(const std::vector<series::GameRecord>& games);
std::vector<Standing> compute_standings(const std::vector<series::GameRecord>& games);

}  // namespace arena::tournament
