#include "ladder/league/ladder_ratings.h"

#include <cmath>

#include "arena/stats/rating_fit.h"
#include "ladder/league/matchmaker.h"
#include "ladder/league/sparse_rating_fit.h"

namespace ladder::league {

namespace {

// The totals between versions of the field, as indices into it; the store's figures are
// trusted no further than this: a pairing with itself, no games, a count no field plays or
// points outside 0 .. games is left out.
std::vector<SparsePairing> field_pairings(const std::unordered_map<VersionId, std::size_t>& index,
                                          const std::vector<PairingTotal>& totals) {
  constexpr double kMostGames = 1e9;
  std::vector<SparsePairing> pairings;
  pairings.reserve(totals.size());
  for (const PairingTotal& t : totals) {
    auto a = index.find(t.a), b = index.find(t.b);
    if (a == index.end() || b == index.end() || a->second == b->second) continue;
    if (!(t.games >= 1 && t.games <= kMostGames && t.points_a >= 0 && t.points_a <= t.games))
      continue;
    pairings.push_back({a->second, b->second, std::round(t.games), t.points_a});
  }
  return pairings;
}

SparseFit exact_fit(std::size_t n, const std::vector<SparsePairing>& pairings,
                    const std::vector<double>& start) {
  arena::stats::PairingResults results(n);
  for (const SparsePairing& p : pairings) {
    const auto games = static_cast<long>(p.games);
    for (long k = 0; k < games; ++k) results.add_game(p.i, p.j, p.points_i / p.games);
  }
  arena::stats::FieldRatings fit = arena::stats::fit_ratings(results, start);
  SparseFit out{fit.ratings, std::vector<double>(n), fit.iterations, fit.converged};
  for (std::size_t i = 0; i < n; ++i) out.margins[i] = fit.margin(i);
  return out;
}

}  // namespace

std::vector<Rating> LadderRatings::refit(const std::vector<ActiveVersion>& versions,
                                         const std::vector<PairingTotal>& totals) {
  const std::size_t n = versions.size();
  std::unordered_map<VersionId, std::size_t> index;
  for (std::size_t i = 0; i < n; ++i) index.emplace(versions[i].id, i);
  std::vector<SparsePairing> pairings = field_pairings(index, totals);

  std::vector<double> start(n, 0.0);
  for (std::size_t i = 0; i < n; ++i) {
    auto last = last_.find(versions[i].id);
    if (last != last_.end()) start[i] = last->second;
  }
  SparseFit fit = n <= kExactFieldLimit ? exact_fit(n, pairings, start)
                                        : fit_sparse_ratings(n, pairings, start);

  last_.clear();
  std::vector<Rating> ratings(n);
  for (std::size_t i = 0; i < n; ++i) {
    last_[versions[i].id] = fit.ratings[i];
    ratings[i] = {versions[i].id, fit.ratings[i], fit.ratings[i] - fit.margins[i],
                  fit.ratings[i] + fit.margins[i], versions[i].pairs < kSettlingPairs};
  }
  return ratings;
}

}  // namespace ladder::league
