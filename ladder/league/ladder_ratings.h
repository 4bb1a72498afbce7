// The ladder's ratings: the maximum-likelihood fit the tournaments use (arena/stats/rating_fit.h,
// same likelihood, same prior of two virtual draws against 0), refitted over the pairing totals
// of the active versions whenever games finish, each fit starting from the last one. A small
// field is fitted by fit_ratings itself; a field above kExactFieldLimit versions, where its
// dense O(n^3) step and covariance grow too slow for a refit after every pair, by the sparse
// variant of sparse_rating_fit.h (the same ratings, an approximate interval).
#pragma once

#include <cstddef>
#include <unordered_map>
#include <vector>

#include "ladder/league/league_types.h"

namespace ladder::league {

inline constexpr std::size_t kExactFieldLimit = 200;

class LadderRatings {
 public:
  // The ratings of `versions` (in their order) from the totals between them; totals naming a
  // version not in `versions`, or with a count of games that cannot be, are ignored. Remembers
  // the solution as the next start.
  std::vector<Rating> refit(const std::vector<ActiveVersion>& versions,
                            const std::vector<PairingTotal>& totals);

 private:
  std::unordered_map<VersionId, double> last_;  // the previous solution, Elo
};

}  // namespace ladder::league
