// The ladder's league, through its public functions: the matchmaker's rules over many calls on
// a synthetic field, the ratings against the tournaments' fit and on a field of known
// strengths played out by the matchmaker itself, the thinned histories, and the final round
// with the site it writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <stdexcept>

#include "arena/stats/elo.h"
#include "arena/stats/rating_fit.h"
#include "ladder/league/final_round.h"
#include "ladder/league/ladder_ratings.h"
#include "ladder/league/matchmaker.h"
#include "ladder/league/rating_history.h"
#include "ladder/league/sparse_rating_fit.h"

namespace {
using namespace ladder::league;
namespace fs = std::filesystem;

// 40 versions of 20 entrants (two each), rated 0, 10, 20 ... with the leader 2000 above the
// rest; versions 1 and 2 are still settling, version 40 has been idle longest, all others have
// played the same number of pairs.
std::vector<ActiveVersion> synthetic_field() {
  std::vector<ActiveVersion> field;
  for (VersionId id = 1; id <= 40; ++id) {
    ActiveVersion v;
    v.id = id;
    v.entrant = (id - 1) / 2;
    v.rating = id == 3 ? 2400 : 10.0 * static_cast<double>(id);
    v.pairs = id <= 2 ? 3 : id == 40 ? 500 : 100;
    v.last_played = id == 40 ? 1000 : 5000 + id;
    v.last_opponent = id % 2 ? id + 2 : id - 2;
    field.push_back(v);
  }
  return field;
}

TEST(Matchmaker, KeepsItsRulesOverManyCalls) {
  const std::vector<ActiveVersion> field = synthetic_field();
  std::map<VersionId, ActiveVersion> by_id;
  for (const ActiveVersion& v : field) by_id[v.id] = v;
  std::mt19937_64 rng(7);
  int leader = 0, idle_seeds = 0, single_calls = 0, picks_made = 0, served_first = 0;
  for (int call = 0; call < 3000; ++call) {
    const std::size_t wanted = call % 2 ? 1 : 8;
    std::vector<Pick> picks = pick_pairs(field, wanted, rng);
    ASSERT_EQ(picks.size(), wanted);
    std::map<VersionId, int> jobs;
    for (const Pick& p : picks) {
      ASSERT_NE(by_id[p.first].entrant, by_id[p.second].entrant);
      ++jobs[p.first], ++jobs[p.second];
      leader += p.first == 3 || p.second == 3;
      ++picks_made;
    }
    if (wanted == 1) {
      ++single_calls;
      idle_seeds += picks[0].first == 40;
      // Not the last opponent, while others are free.
      EXPECT_NE(by_id[picks[0].first].last_opponent, picks[0].second);
    } else {
      // The two settling versions get their two jobs before anyone else gets more (unless the
      // one-in-ten rule took most of the picks), and never more.
      EXPECT_LE(jobs[1], kSettlingInFlight);
      EXPECT_LE(jobs[2], kSettlingInFlight);
      served_first += jobs[1] == kSettlingInFlight && jobs[2] == kSettlingInFlight;
    }
  }
  EXPECT_GE(served_first, 3000 / 2 * 99 / 100);
  // The leader, far above everyone, still plays about its share (2 of 40 slots a pick).
  EXPECT_GT(leader, picks_made * 2 / 40 / 2);
  // One pick in ten is seeded by the version idle longest, whatever its share.
  EXPECT_NEAR(static_cast<double>(idle_seeds) / single_calls, 0.1, 0.03);

  // The same field and the same state of the generator give the same picks.
  std::mt19937_64 a(11), b(11);
  std::vector<Pick> once = pick_pairs(field, 20, a), twice = pick_pairs(field, 20, b);
  ASSERT_EQ(once.size(), twice.size());
  for (std::size_t i = 0; i < once.size(); ++i) {
    EXPECT_EQ(once[i].first, twice[i].first);
    EXPECT_EQ(once[i].second, twice[i].second);
  }

  // No legal pick left: one entrant alone, or three settling versions with two jobs each.
  std::vector<ActiveVersion> alone = {{1, 7, 0, 0, 0, 0, 0}, {2, 7, 0, 50, 0, 0, 0}};
  EXPECT_TRUE(pick_pairs(alone, 5, rng).empty());
  std::vector<ActiveVersion> settling = {
      {1, 1, 0, 0, 0, 0, 0}, {2, 2, 0, 0, 0, 0, 0}, {3, 3, 0, 0, 1, 0, 0}};
  EXPECT_EQ(pick_pairs(settling, 10, rng).size(), 2u);
  // A rating that is not a number is ranked, not a broken order.
  std::vector<ActiveVersion> unrated = {{1, 1, NAN, 50, 0, 0, 0}, {2, 2, 0, 50, 0, 0, 0}};
  EXPECT_EQ(pick_pairs(unrated, 1, rng).size(), 1u);
}

// A random field of `n` versions, each meeting a few others: the totals as both fits read them.
struct SmallField {
  arena::stats::PairingResults dense;
  std::vector<SparsePairing> sparse;
};

SmallField small_field(std::size_t n, std::mt19937_64& rng) {
  SmallField field{arena::stats::PairingResults(n), {}};
  std::uniform_int_distribution<std::size_t> pick(0, n - 1);
  std::uniform_real_distribution<double> unit(0, 1);
  for (std::size_t k = 0; k < 4 * n; ++k) {
    std::size_t i = pick(rng), j = pick(rng);
    if (i == j) continue;
    SparsePairing p{i, j, 0, 0};
    for (int g = 0; g < 6; ++g) {
      double points = unit(rng) < 0.5 + 0.04 * static_cast<double>(i % 7) ? 1.0 : 0.0;
      field.dense.add_game(i, j, points);
      p.games += 1;
      p.points_i += points;
    }
    field.sparse.push_back(p);
  }
  return field;
}

TEST(LadderRatings, AgreeWithTheTournamentFitAndOrderKnownStrengths) {
  std::mt19937_64 rng(3);
  SmallField small = small_field(40, rng);
  arena::stats::FieldRatings exact = arena::stats::fit_ratings(small.dense);
  SparseFit sparse = fit_sparse_ratings(40, small.sparse);
  ASSERT_TRUE(sparse.converged);
  for (std::size_t i = 0; i < 40; ++i) {
    EXPECT_NEAR(sparse.ratings[i], exact.ratings[i], 1e-5);
    EXPECT_NEAR(sparse.margins[i], exact.margin(i), 0.2 * exact.margin(i));
  }

  // 400 versions of known strength, paired by the matchmaker and refitted as the ladder does.
  const std::size_t n = 400;
  std::vector<ActiveVersion> field(n);
  std::vector<double> strength(n);
  std::normal_distribution<double> spread(0, 300);
  for (std::size_t i = 0; i < n; ++i) {
    field[i] = {static_cast<VersionId>(i + 1), static_cast<std::int64_t>(i), 0, 0, 0, 0, 0};
    strength[i] = spread(rng);
  }
  std::map<std::pair<VersionId, VersionId>, PairingTotal> totals;
  LadderRatings ratings;
  std::vector<Rating> fitted;
  std::uniform_real_distribution<double> unit(0, 1);
  for (int round = 0; round < 100; ++round) {
    for (const Pick& p : pick_pairs(field, 200, rng)) {
      auto [a, b] = std::minmax(p.first, p.second);
      PairingTotal& t = totals[{a, b}];
      t.a = a, t.b = b;
      double expected = arena::stats::expected_score(strength[a - 1] - strength[b - 1]);
      for (int g = 0; g < 2; ++g) t.points_a += unit(rng) < expected, t.games += 1;
      for (VersionId id : {a, b}) ++field[id - 1].pairs, field[id - 1].last_played = round + 1;
      field[a - 1].last_opponent = b, field[b - 1].last_opponent = a;
    }
    if (round % 10 != 9) continue;
    std::vector<PairingTotal> list;
    for (const auto& [key, total] : totals) list.push_back(total);
    // The store's figures are not trusted: a stranger and an impossible total change nothing.
    list.push_back({1, 99999, 5, 5});
    list.push_back({1, 2, -3, 7});
    fitted = ratings.refit(field, list);
    for (std::size_t i = 0; i < n; ++i) field[i].rating = fitted[i].rating;
  }
  double mean = 0;
  for (double s : strength) mean += s / n;
  int covered = 0, in_order = 0, pairs = 0;
  for (std::size_t i = 0; i < n; ++i) {
    covered += fitted[i].low <= strength[i] - mean && strength[i] - mean <= fitted[i].high;
    EXPECT_FALSE(fitted[i].provisional);
    for (std::size_t j = 0; j < i; ++j) {
      if (std::abs(strength[i] - strength[j]) < 200) continue;
      ++pairs;
      in_order += (strength[i] > strength[j]) == (fitted[i].rating > fitted[j].rating);
    }
  }
  EXPECT_GT(covered, static_cast<int>(n * 85 / 100));
  EXPECT_GT(in_order, pairs * 97 / 100);
  // A field too small for the sparse fit gives the tournaments' figures; a newcomer is
  // provisional.
  std::vector<ActiveVersion> few(field.begin(), field.begin() + 2);
  few[1].pairs = 3;
  std::vector<Rating> two = ratings.refit(few, {{1, 2, 10, 7}});
  arena::stats::PairingResults duel(2);
  for (int g = 0; g < 10; ++g) duel.add_game(0, 1, g < 7 ? 1.0 : 0.0);
  arena::stats::FieldRatings expected = arena::stats::fit_ratings(duel);
  EXPECT_NEAR(two[0].rating, expected.ratings[0], 1e-6);
  EXPECT_NEAR(two[0].high - two[0].rating, expected.margin(0), 1e-6);
  EXPECT_FALSE(two[0].provisional);
  EXPECT_TRUE(two[1].provisional);
}

TEST(RatingHistory, KeepsTheEndsAndPointsSpreadEvenlyInTime) {
  std::mt19937_64 rng(5);
  std::vector<std::pair<std::int64_t, double>> points;
  std::int64_t time = 1'700'000'000, widest = 0;
  for (int i = 0; i < 2000; ++i) {
    std::int64_t step = static_cast<std::int64_t>(rng() % 600);
    widest = std::max(widest, step);
    time += step;
    points.emplace_back(time, i);
  }
  auto thin = thin_history(points, 50);
  ASSERT_LE(thin.size(), 50u);
  ASSERT_GE(thin.size(), 40u);
  EXPECT_EQ(thin.front(), points.front());
  EXPECT_EQ(thin.back(), points.back());
  const double span = static_cast<double>(points.back().first - points.front().first);
  for (std::size_t k = 1; k < thin.size(); ++k) {
    EXPECT_LT(thin[k - 1].first, thin[k].first);
    EXPECT_LE(thin[k].first - thin[k - 1].first, 2 * span / 49 + widest);
    EXPECT_TRUE(std::binary_search(points.begin(), points.end(), thin[k]));
  }
  EXPECT_EQ(thin_history(points, 5000), points);
  EXPECT_EQ(thin_history(points, 0).size(), 2u);
}

TEST(FinalRound, PlaysEveryPairingWithBalancedSeatsAndWritesThePublishedSite) {
  std::vector<Pick> pairs = final_round_pairs({10, 20, 30, 40, 50}, 4);
  ASSERT_EQ(pairs.size(), 10u * 2);
  std::map<std::pair<VersionId, VersionId>, int> meetings;
  std::map<VersionId, int> opens;
  for (const Pick& p : pairs) ++meetings[std::minmax(p.first, p.second)], ++opens[p.first];
  EXPECT_EQ(meetings.size(), 10u);
  for (const auto& [pairing, count] : meetings) EXPECT_EQ(count, 2);
  for (const auto& [id, count] : opens) EXPECT_NEAR(count, 4, 1);
  EXPECT_THROW(final_round_pairs({1, 2}, 3), std::invalid_argument);
  EXPECT_THROW(final_round_pairs({1, 2}, 0), std::invalid_argument);

  fs::path dir = fs::temp_directory_path() / ("ladder_final_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path replay = dir / "replay-source.html";
  std::ofstream(replay) << "<html>replay</html>\n";
  FinalResults results;
  results.entrants = {{"alice", 2, 7}, {"bob", 1, 9}, {"../../etc/evil", 4, 12}};
  // alice beats both; the hostile name draws with bob.
  results.games = {{7, 9, 80, 60, 1, replay.string()},
                   {9, 7, 50, 70, 2, ""},
                   {12, 7, 10, 90, 2, ""},
                   {7, 12, 90, 10, 1, ""},
                   {9, 12, 40, 40, 0, ""},
                   {12, 9, 40, 40, 0, ""}};
  write_final_site(dir / "site", results);
  const fs::path site = dir / "site";
  for (const char* file :
       {"index.html", "standings.json", "standings.txt", "players/alice_v2.html",
        "players/bob_v1.html", "players/version_12.html", "refereelogs/alice_v2-bob_v1.1.html"})
    EXPECT_TRUE(fs::is_regular_file(site / file)) << file;
  nlohmann::json standings = nlohmann::json::parse(std::ifstream(site / "standings.json"));
  EXPECT_EQ(standings["standings"][0]["player"], "alice_v2");
  EXPECT_EQ(standings["standings"][0]["wins"], 4);
  EXPECT_EQ(standings["finished"], 6);

  results.games.push_back({7, 99, 1, 0, 1, ""});
  EXPECT_THROW(write_final_site(dir / "site", results), std::invalid_argument);
  fs::remove_all(dir);
}

}  // namespace
