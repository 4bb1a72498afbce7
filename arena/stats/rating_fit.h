// One rating per player of a field, fitted by maximum likelihood to the results between them.
// The expected score of i against j is s(R_i - R_j) (a draw counts half a point), the ratings
// have mean 0, and every player also carries two virtual draws against a player rated 0, a
// prior that keeps every rating finite (also for a player who won or lost every game). The
// fit reads only the per-pairing totals, so its cost grows with the players, not the games.
#pragma once

#include <cstddef>
#include <vector>

namespace arena::stats {

// Results between the players 0 .. n-1: for each pairing, the games played and the points
// each side scored (a win 1, a draw 1/2).
class PairingResults {
 public:
  explicit PairingResults(std::size_t players = 0);

  // Adds a player with no games yet; returns its index.
  std::size_t add_player();
  // One game between i and j in which i scored `points_i` (0, 1/2 or 1).
  void add_game(std::size_t i, std::size_t j, double points_i);

  std::size_t players() const { return games_.size(); }
  double games(std::size_t i, std::size_t j) const { return games_[i][j]; }
  double points(std::size_t i, std::size_t j) const { return points_[i][j]; }

 private:
  std::vector<std::vector<double>> games_;   // symmetric
  std::vector<std::vector<double>> points_;  // [i][j]: what i scored against j
};

struct FieldRatings {
  std::vector<double> ratings;     // Elo, mean 0
  std::vector<double> covariance;  // n x n, Elo^2: the inverse curvature on the mean-0 plane
  int iterations = 0;              // Newton steps taken
  bool converged = false;

  // Half the width of the 95% interval of player i's rating: 1.96 sqrt(C_ii).
  double margin(std::size_t i) const;
  // LOS = Phi((R_i - R_j) / sqrt(C_ii + C_jj - 2 C_ij)): the likelihood that i is stronger.
  double los(std::size_t i, std::size_t j) const;
};

// Maximizes the log-likelihood
//   L(R) = sum over pairings  P_ij ln s(R_i - R_j) + (G_ij - P_ij) ln s(R_j - R_i)
//        + sum over players   ln s(R_i) + ln s(-R_i)            (the two virtual draws)
// on the plane sum R_i = 0, by Newton's method with a backtracking line search, at most
// kMaxIterations steps. `start` (for instance the previous fit of a growing field) only
// speeds it up; it is projected onto the plane and ignored when its size differs. The
// covariance is the inverse of -Hessian restricted to the plane:
//   C = M^-1 - M^-1 1 1^T M^-1 / (1^T M^-1 1), M = -Hessian of L.
inline constexpr int kMaxIterations = 100;
FieldRatings fit_ratings(const PairingResults& results, const std::vector<double>& start = {});

}  // namespace arena::stats
