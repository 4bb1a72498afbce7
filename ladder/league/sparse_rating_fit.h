// The maximum-likelihood ratings of arena/stats/rating_fit.h for a large, sparse field: a
// ladder of a thousand versions, each of which has met a few dozen others. Same likelihood,
// same prior (two virtual draws against a player rated 0), same plane sum R = 0 and the same
// constrained Newton step; what changes is how the step is solved and how wide the interval is.
//  - The step solves M u = g and M v = 1 by conjugate gradients over the pairings (M, minus the
//    Hessian, is a weighted graph Laplacian plus the prior's diagonal), each iteration costing
//    one pass over the pairings, instead of a dense Cholesky factor that costs n^3 / 3. The
//    solution is the dense fit's to within the tolerance below.
//  - The interval approximates the diagonal of the covariance C = M^-1 - v v^T / (1^T v) by
//    the first two terms of its expansion about the diagonal D of M,
//        C_ii ~ 1 / D_ii + sum_j M_ij^2 / (D_ii^2 D_jj),
//    a version's own information plus what its opponents' uncertainty adds. It leaves out
//    longer chains of opponents and the projection onto the plane, each of relative size about
//    one over the number of opponents or versions: the interval is a little too narrow for a
//    version that met few others, and close for one that met dozens.
#pragma once

#include <cstddef>
#include <vector>

namespace ladder::league {

struct SparsePairing {
  std::size_t i = 0, j = 0;        // i != j, both below the field's size
  double games = 0, points_i = 0;  // points_i: what i scored, 0 .. games
};

struct SparseFit {
  std::vector<double> ratings;  // Elo, mean 0
  std::vector<double> margins;  // half the width of each 95% interval, Elo
  int iterations = 0;           // Newton steps taken
  bool converged = false;
};

// Newton steps at most; started from the previous fit a ladder needs two or three.
inline constexpr int kSparseMaxIterations = 50;

// The fit of `players` versions (0 .. players-1) over `pairings` (a pairing may appear more
// than once: its games add up). `start` (Elo) is used when its size is `players`.
SparseFit fit_sparse_ratings(std::size_t players, const std::vector<SparsePairing>& pairings,
                             const std::vector<double>& start = {});

}  // namespace ladder::league
