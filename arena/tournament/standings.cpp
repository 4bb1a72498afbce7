#include "arena/tournament/standings.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace arena::tournament {

namespace {

// The logistic Elo model: a score fraction p against the field means a rating
// difference D = -400 * log10(1/p - 1); p = 0 and p = 1 give minus and plus
// infinity.
double elo_from_score(double p) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  if (p <= 0) return -kInfinity;
  if (p >= 1) return kInfinity;
  return -400.0 * std::log10(1.0 / p - 1.0);
}

}  // namespace

// With n games, W wins, D draws, L losses and score p = (W + D/2) / n, each game's score s
// (1, 1/2 or 0) has the sample variance
//   var = (W (1 - p)^2 + D (1/2 - p)^2 + L p^2) / n,
// so p has the standard error sqrt(var / n). The 95% interval of p,
//   p -+ delta, delta = 1.95996 * sqrt(var / n),
// is mapped through the Elo formula; the margin is half the width of the mapped interval:
//   margin = (elo(p + delta) - elo(p - delta)) / 2.
EloEstimate estimate_elo(int wins, int draws, int losses) {
  int n = wins + draws + losses;
  if (n == 0) return {std::nan(""), std::nan("")};
  double p = (wins + 0.5 * draws) / n;
  double variance = (wins * (1 - p) * (1 - p) + draws * (0.5 - p) * (0.5 - p) + losses * p * p) / n;
  double delta = 1.959963984540054 * std::sqrt(variance / n);
  // All won or all lost: the estimate is unbounded, and so is its uncertainty.
  if (p <= 0 || p >= 1) return {elo_from_score(p), std::numeric_limits<double>::infinity()};
  return {elo_from_score(p), (elo_from_score(p + delta) - elo_from_score(p - delta)) / 2};
}

std::vector<Standing> compute_standings(const std::vector<GameRecord>& games) {
  std::map<std::string, Standing> table;
  for (const auto& game : games) {
    std::array<std::optional<std::size_t>, 2> reasons = {disqualification_index(game.texts[0]),
                                                         disqualification_index(game.texts[1])};
    for (int side = 0; side < 2; ++side) {
      Standing& standing = table[game.names[side]];
      standing.name = game.names[side];
      ++standing.games;
      standing.value_sum += game.values[side];
      int other = 1 - side;
      if (reasons[side]) {
        ++standing.disqualifications[*reasons[side]];
        ++standing.losses;
      } else if (reasons[other] || game.values[side] > game.values[other]) {
        ++standing.wins;
      } else if (game.values[side] == game.values[other]) {
        ++standing.draws;
      } else {
        ++standing.losses;
      }
    }
  }
  std::vector<Standing> standings;
  for (auto& [name, standing] : table) standings.push_back(std::move(standing));
  std::stable_sort(standings.begin(), standings.end(), [](const Standing& a, const Standing& b) {
    if (a.score() != b.score()) return a.score() > b.score();
    return a.mean_value() > b.mean_value();
  });
  return standings;
}

}  // namespace arena::tournament
