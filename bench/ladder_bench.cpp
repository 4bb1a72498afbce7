// The ladder's arithmetic at the size of a long contest: a refit of 1000 active versions, each
// of which has met about 50 others a few pairs each, warm from the previous fit after one more
// pair (what the server does as games finish), and cold; the tournaments' dense fit of the same
// field for comparison; and the matchmaker choosing 64 pairs among 1000 versions.
// Targets: a refit <= 200 ms at 1000 versions; the matchmaker far below that.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <random>
#include <vector>

#include "arena/stats/elo.h"
#include "arena/stats/rating_fit.h"
#include "ladder/league/ladder_ratings.h"
#include "ladder/league/matchmaker.h"

namespace {

using namespace ladder::league;

struct Ladder {
  std::vector<ActiveVersion> versions;
  std::vector<PairingTotal> totals;
};

// `n` versions of normally spread strength; each meets about `opponents` others near it in
// strength (the matchmaker's window), 1 to 5 pairs each, played by the logistic model.
Ladder synthetic_ladder(std::size_t n, std::size_t opponents, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> spread(0, 300);
  std::vector<double> strength(n);
  Ladder ladder;
  for (std::size_t i = 0; i < n; ++i) {
    strength[i] = spread(rng);
    ladder.versions.push_back(
        {static_cast<VersionId>(i + 1), static_cast<std::int64_t>(i), strength[i], 0, 0, 0, 0});
  }
  std::sort(strength.begin(), strength.end());
  std::geometric_distribution<std::size_t> distance(0.03);
  std::uniform_int_distribution<int> pairs(1, 5);
  std::uniform_real_distribution<double> unit(0, 1);
  std::map<std::pair<std::size_t, std::size_t>, PairingTotal> met;
  for (std::size_t i = 0; i < n; ++i) {
    // Half of each version's opponents are found from below, half from above.
    for (std::size_t found = 0, tries = 0; found < opponents / 2 && tries < 10 * opponents;
         ++tries) {
      std::size_t j = (i + 1 + distance(rng)) % n;
      auto key = std::minmax(i, j);
      if (i == j || met.contains(key)) continue;
      ++found;
      PairingTotal& t = met[key];
      t.a = static_cast<VersionId>(key.first + 1), t.b = static_cast<VersionId>(key.second + 1);
      double expected = arena::stats::expected_score(strength[key.first] - strength[key.second]);
      for (int g = 2 * pairs(rng); g > 0; --g) t.games += 1, t.points_a += unit(rng) < expected;
    }
  }
  for (const auto& [key, total] : met) {
    ladder.totals.push_back(total);
    ladder.versions[key.first].pairs += static_cast<int>(total.games / 2);
    ladder.versions[key.second].pairs += static_cast<int>(total.games / 2);
  }
  return ladder;
}

void BM_RefitAfterOnePair(benchmark::State& state) {
  Ladder ladder = synthetic_ladder(static_cast<std::size_t>(state.range(0)), 50, 1);
  LadderRatings ratings;
  ratings.refit(ladder.versions, ladder.totals);
  std::size_t next = 0;
  for (auto _ : state) {
    PairingTotal& t = ladder.totals[next++ % ladder.totals.size()];
    t.games += 2, t.points_a += 1;
    benchmark::DoNotOptimize(ratings.refit(ladder.versions, ladder.totals));
  }
  state.counters["pairings"] = static_cast<double>(ladder.totals.size());
}
BENCHMARK(BM_RefitAfterOnePair)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_RefitCold(benchmark::State& state) {
  Ladder ladder = synthetic_ladder(static_cast<std::size_t>(state.range(0)), 50, 1);
  for (auto _ : state) {
    LadderRatings ratings;
    benchmark::DoNotOptimize(ratings.refit(ladder.versions, ladder.totals));
  }
}
BENCHMARK(BM_RefitCold)->Arg(1000)->Unit(benchmark::kMillisecond);

// The tournaments' fit (dense Newton steps and covariance, O(n^3)) on the same field.
void BM_DenseFit(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  Ladder ladder = synthetic_ladder(n, 50, 1);
  arena::stats::PairingResults results(n);
  for (const PairingTotal& t : ladder.totals) {
    for (int g = 0; g < static_cast<int>(t.games); ++g)
      results.add_game(static_cast<std::size_t>(t.a - 1), static_cast<std::size_t>(t.b - 1),
                       t.points_a / t.games);
  }
  for (auto _ : state) benchmark::DoNotOptimize(arena::stats::fit_ratings(results));
}
BENCHMARK(BM_DenseFit)->Arg(200)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_PickPairs(benchmark::State& state) {
  Ladder ladder = synthetic_ladder(static_cast<std::size_t>(state.range(0)), 50, 1);
  std::mt19937_64 rng(2);
  for (auto _ : state) benchmark::DoNotOptimize(pick_pairs(ladder.versions, 64, rng));
}
BENCHMARK(BM_PickPairs)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
