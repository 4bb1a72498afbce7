// The arena's statistics on their own: the SPRT figures against hand-computed cases, the
// test's error rates over many simulated runs, and the maximum-likelihood ratings of small
// fields whose answer can be worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <stdexcept>

#include "arena/stats/elo.h"
#include "arena/stats/rating_fit.h"
#include "arena/stats/sprt.h"

namespace {
using namespace arena::stats;

Pentanomial pentanomial(std::array<long long, 5> counts) {
  Pentanomial p;
  p.counts = counts;
  return p;
}

TEST(SprtFigures, MatchHandComputedValuesForAMixedRecord) {
  // Ten pairs scoring 0, 1/2, 1/2, 1, 1, 1, 3/2, 3/2, 2, 2: x = 0, .25, .25, .5, .5, .5, .75,
  // .75, 1, 1, so mu = 5.5 / 10 = 0.55 and sigma^2 = (.3025 + 2 * .09 + 3 * .0025 + 2 * .04 +
  // 2 * .2025) / 10 = 0.0975.
  Pentanomial p = pentanomial({1, 2, 3, 2, 2});
  EXPECT_EQ(p.pairs(), 10);
  EXPECT_DOUBLE_EQ(pair_mean(p), 0.55);
  EXPECT_NEAR(pair_variance(p), 0.0975, 1e-15);
  // s0 = s(0) = 0.5, s1 = s(20) = 1 / (1 + 10^-0.05) = 0.5287506; LLR = 10 * 0.0287506 *
  // (1.1 - 1.0287506) / (2 * 0.0975) = 0.1050493.
  EXPECT_NEAR(expected_score(20), 0.5287506, 1e-7);
  EXPECT_NEAR(sprt_llr(p, 0, 20), 0.1050493, 1e-7);
  // Elo = -400 log10(1/0.55 - 1) = 34.860; mu -+ 1.96 sqrt(0.0975 / 10) = 0.55 -+ 0.19353
  // gives -102.619 and +184.906; LOS = Phi(0.05 / 0.098742) = Phi(0.50637) = 0.69370.
  EloInterval elo = pair_elo(p);
  EXPECT_NEAR(elo.elo, 34.8601, 1e-4);
  EXPECT_NEAR(elo.low, -102.6190, 1e-4);
  EXPECT_NEAR(elo.high, 184.9057, 1e-4);
  EXPECT_NEAR(pair_los(p), 0.693701, 1e-6);
  // A mirror record gives the mirror figures.
  Pentanomial mirror = pentanomial({2, 2, 3, 2, 1});
  EXPECT_NEAR(pair_elo(mirror).elo, -34.8601, 1e-4);
  EXPECT_NEAR(pair_los(mirror), 1 - 0.693701, 1e-6);
  EXPECT_NEAR(sprt_llr(mirror, -20, 0), -sprt_llr(p, 0, 20), 1e-12);
}

TEST(SprtFigures, BoundsAndDecisions) {
  // ln(0.05 / 0.95) and ln(0.95 / 0.05).
  SprtBounds bounds = sprt_bounds(0.05, 0.05);
  EXPECT_NEAR(bounds.lower, -2.944439, 1e-6);
  EXPECT_NEAR(bounds.upper, 2.944439, 1e-6);
  // alpha 0.01, beta 0.1: ln(0.1 / 0.99) = -2.292535, ln(0.9 / 0.01) = 4.499810.
  bounds = sprt_bounds(0.01, 0.1);
  EXPECT_NEAR(bounds.lower, -2.292535, 1e-6);
  EXPECT_NEAR(bounds.upper, 4.499810, 1e-6);
  EXPECT_EQ(sprt_decision(-2.3, bounds), SprtResult::h0);
  EXPECT_EQ(sprt_decision(bounds.lower, bounds), SprtResult::h0);
  EXPECT_EQ(sprt_decision(0, bounds), SprtResult::none);
  EXPECT_EQ(sprt_decision(4.4998, bounds), SprtResult::none);
  EXPECT_EQ(sprt_decision(bounds.upper, bounds), SprtResult::h1);
}

TEST(SprtFigures, RecordsWithoutSpread) {
  // Every pair drawn: sigma^2 = 0, so the LLR stays 0; Elo 0 with an empty interval, LOS 1/2.
  Pentanomial draws = pentanomial({0, 0, 7, 0, 0});
  EXPECT_EQ(pair_variance(draws), 0);
  EXPECT_EQ(sprt_llr(draws, 0, 10), 0);
  EXPECT_EQ(pair_elo(draws).elo, 0);
  EXPECT_EQ(pair_elo(draws).low, 0);
  EXPECT_EQ(pair_elo(draws).high, 0);
  EXPECT_EQ(pair_los(draws), 0.5);

  // All won: the estimate is +infinity, the interval clamped to a finite end (E(0.999)).
  Pentanomial wins = pentanomial({0, 0, 0, 0, 5});
  EXPECT_EQ(sprt_llr(wins, 0, 10), 0);
  EloInterval elo = pair_elo(wins);
  EXPECT_TRUE(std::isinf(elo.elo) && elo.elo > 0);
  EXPECT_NEAR(elo.low, 1199.826, 1e-3);
  EXPECT_NEAR(elo.high, 1199.826, 1e-3);
  EXPECT_EQ(pair_los(wins), 1);

  // All lost: the mirror.
  Pentanomial losses = pentanomial({4, 0, 0, 0, 0});
  EXPECT_EQ(sprt_llr(losses, 0, 10), 0);
  elo = pair_elo(losses);
  EXPECT_TRUE(std::isinf(elo.elo) && elo.elo < 0);
  EXPECT_NEAR(elo.low, -1199.826, 1e-3);
  EXPECT_EQ(pair_los(losses), 0);

  // One pair that is not a 2-0 gives the spread: 4 pairs of 1 and one of 3/4 have mu = 0.95,
  // sigma^2 = (4 * 0.0025 + 0.04) / 5 = 0.01, LLR = 5 * (s1 - s0) * (1.9 - s0 - s1) / 0.02.
  Pentanomial almost = pentanomial({0, 0, 0, 1, 4});
  double s0 = expected_score(0), s1 = expected_score(100);
  EXPECT_NEAR(sprt_llr(almost, 0, 100), 5 * (s1 - s0) * (1.9 - s0 - s1) / 0.02, 1e-9);
  EXPECT_GT(sprt_llr(almost, 0, 100), sprt_bounds(0.05, 0.05).upper);

  // No pairs yet: nothing to say, and nothing decided.
  Pentanomial none;
  EXPECT_EQ(sprt_llr(none, 0, 10), 0);
  EXPECT_TRUE(std::isnan(pair_elo(none).elo));
  EXPECT_TRUE(std::isnan(pair_los(none)));
  EXPECT_EQ(sprt_status(none, {0, 10, 0.05, 0.05}).result, SprtResult::none);
}

TEST(SprtFigures, ParametersAreChecked) {
  EXPECT_NO_THROW(check_sprt_parameters({0, 10, 0.05, 0.05}));
  EXPECT_NO_THROW(check_sprt_parameters({-10, -5, 0.5, 0.4}));
  EXPECT_THROW(check_sprt_parameters({10, 10, 0.05, 0.05}), std::invalid_argument);
  EXPECT_THROW(check_sprt_parameters({10, 0, 0.05, 0.05}), std::invalid_argument);
  EXPECT_THROW(check_sprt_parameters({0, 10, 0, 0.05}), std::invalid_argument);
  EXPECT_THROW(check_sprt_parameters({0, 10, 0.05, 1}), std::invalid_argument);
  EXPECT_THROW(check_sprt_parameters({0, 10, 0.5, 0.5}), std::invalid_argument);
  EXPECT_THROW(check_sprt_parameters({0, INFINITY, 0.05, 0.05}), std::invalid_argument);
  EXPECT_THROW(check_sprt_parameters({NAN, 10, 0.05, 0.05}), std::invalid_argument);
}

// A seeded model of a pair: two independent games between players `elo` apart, each drawn
// with probability kDraw, otherwise won with the probability that keeps the expected score at
// s(elo).
class PairModel {
 public:
  PairModel(double elo, std::uint64_t seed) : generator_(seed) {
    constexpr double kDraw = 0.3;
    double s = expected_score(elo);
    win_ = s - kDraw / 2;
    draw_ = kDraw;
  }
  int half_points() {
    int points = 0;
    for (int game = 0; game < 2; ++game) {
      double u = static_cast<double>(generator_() >> 11) * 0x1p-53;
      points += u < win_ ? 2 : u < win_ + draw_ ? 1 : 0;
    }
    return points;
  }

 private:
  std::mt19937_64 generator_;
  double win_, draw_;
};

// How often each decision comes out of `runs` tests of players `true_elo` apart.
std::array<int, 3> decisions(double true_elo, const SprtParameters& parameters, int runs) {
  std::array<int, 3> counts{};
  SprtBounds bounds = sprt_bounds(parameters.alpha, parameters.beta);
  PairModel model(true_elo, 20261208);
  for (int run = 0; run < runs; ++run) {
    Pentanomial p;
    SprtResult result = SprtResult::none;
    for (int pair = 0; pair < 100000 && result == SprtResult::none; ++pair) {
      p.add(model.half_points());
      result = sprt_decision(sprt_llr(p, parameters.elo0, parameters.elo1), bounds);
    }
    ++counts[static_cast<int>(result)];
  }
  return counts;
}

TEST(SprtSimulation, ErrorRatesStayNearAlphaAndBeta) {
  // 2000 runs each: the standard error of a rate near 0.05 is about 0.005, so 0.065 leaves
  // three of them for chance. The hypotheses are 10 Elo apart, as in real use (about 2000
  // pairs a run): the normal approximation needs many pairs, and with hypotheses 40 Elo apart
  // (about 100 pairs a run) the rates come out near twice the nominal ones.
  const SprtParameters parameters{0, 10, 0.05, 0.05};
  constexpr int kRuns = 2000;
  auto at_h0 = decisions(parameters.elo0, parameters, kRuns);
  EXPECT_EQ(at_h0[0], 0) << "every run decides";
  double false_h1 = at_h0[2] / static_cast<double>(kRuns);
  EXPECT_LE(false_h1, 0.065) << "H1 accepted at elo0 in " << at_h0[2] << " of " << kRuns;

  auto at_h1 = decisions(parameters.elo1, parameters, kRuns);
  EXPECT_EQ(at_h1[0], 0);
  double false_h0 = at_h1[1] / static_cast<double>(kRuns);
  EXPECT_LE(false_h0, 0.065) << "H0 accepted at elo1 in " << at_h1[1] << " of " << kRuns;

  // And the test has power: far from both hypotheses it nearly always decides rightly.
  auto strong = decisions(30, parameters, 200);
  EXPECT_GE(strong[2], 198);
  auto weak = decisions(-20, parameters, 200);
  EXPECT_GE(weak[1], 198);

  // Other error rates are met as well: alpha 0.1, beta 0.02, over 1000 runs each (standard
  // errors about 0.0095 and 0.0044).
  const SprtParameters lopsided{0, 10, 0.1, 0.02};
  constexpr int kFewerRuns = 1000;
  auto lop_h0 = decisions(0, lopsided, kFewerRuns);
  EXPECT_LE(lop_h0[2] / static_cast<double>(kFewerRuns), 0.128);
  auto lop_h1 = decisions(10, lopsided, kFewerRuns);
  EXPECT_LE(lop_h1[1] / static_cast<double>(kFewerRuns), 0.033);
}

// --- Ratings of a field.

TEST(RatingFit, TwoPlayersWhereOneWonEveryGameHaveFiniteHandComputedRatings) {
  // A beat B 5 times. With R_A = -R_B = r and q = e^(r ln10/400), the likelihood's slope in r
  // vanishes when 5 - 5 q^2/(1 + q^2) + 1 - 2 q/(1 + q) = 0: q = 3 solves it (5 - 4.5 + 1 - 1.5),
  // so R_A = 400 log10(3) = 190.849.
  PairingResults results(2);
  for (int i = 0; i < 5; ++i) results.add_game(0, 1, 1.0);
  FieldRatings fit = fit_ratings(results);
  ASSERT_TRUE(fit.converged);
  EXPECT_NEAR(fit.ratings[0], 190.8485, 1e-3);
  EXPECT_NEAR(fit.ratings[1], -190.8485, 1e-3);
  // The curvature along R_A = -R_B, in natural units t = r ln10/400 and with
  // w(u) = sigma(u)(1 - sigma(u)): -L''(t) = 5 * 4 w(2t) + 4 w(t) = 20 * 0.09 + 4 * 3/16 = 2.55,
  // so Var(R_A) = (1 / 2.55) / (ln10/400)^2 and the margin is 1.96 * 108.78 = 213.217.
  EXPECT_NEAR(fit.margin(0), 213.217, 1e-2);
  EXPECT_NEAR(fit.margin(1), 213.217, 1e-2);
  EXPECT_GT(fit.los(0, 1), 0.95);
  EXPECT_NEAR(fit.los(0, 1) + fit.los(1, 0), 1.0, 1e-12);
}

TEST(RatingFit, EvenRecordsAndACycleRateEveryoneZero) {
  PairingResults two(2);
  two.add_game(0, 1, 1.0);
  two.add_game(1, 0, 1.0);
  two.add_game(0, 1, 0.5);
  FieldRatings fit = fit_ratings(two);
  EXPECT_NEAR(fit.ratings[0], 0, 1e-9);
  EXPECT_NEAR(fit.los(0, 1), 0.5, 1e-9);

  // A beats B, B beats C, C beats A, twice each.
  PairingResults cycle(3);
  for (int round = 0; round < 2; ++round) {
    cycle.add_game(0, 1, 1.0);
    cycle.add_game(1, 2, 1.0);
    cycle.add_game(2, 0, 1.0);
  }
  fit = fit_ratings(cycle);
  ASSERT_TRUE(fit.converged);
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(fit.ratings[i], 0, 1e-9);
    EXPECT_NEAR(fit.margin(i), fit.margin(0), 1e-9);
    EXPECT_GT(fit.margin(i), 0);
  }
  EXPECT_NEAR(fit.los(0, 1), 0.5, 1e-9);
}

TEST(RatingFit, AFieldWithAnUnbeatenPlayerAndAWinlessOne) {
  // A beats everybody, D loses to everybody, B and C split their games.
  PairingResults field(4);
  for (int round = 0; round < 3; ++round) {
    for (int other = 1; other < 4; ++other) field.add_game(0, other, 1.0);
    field.add_game(1, 3, 1.0);
    field.add_game(2, 3, 1.0);
    field.add_game(1, 2, round == 0 ? 1.0 : round == 1 ? 0.0 : 0.5);
  }
  FieldRatings fit = fit_ratings(field);
  ASSERT_TRUE(fit.converged);
  double sum = 0;
  for (double r : fit.ratings) {
    EXPECT_TRUE(std::isfinite(r));
    sum += r;
  }
  EXPECT_NEAR(sum, 0, 1e-9) << "mean rating 0";
  EXPECT_GT(fit.ratings[0], fit.ratings[1] + 100);
  EXPECT_NEAR(fit.ratings[1], fit.ratings[2], 1e-9) << "B and C met the same field alike";
  EXPECT_LT(fit.ratings[3], fit.ratings[2] - 100);
  EXPECT_NEAR(fit.ratings[0], -fit.ratings[3], 1e-9) << "the field is symmetric";
  for (std::size_t i = 0; i < 4; ++i) EXPECT_TRUE(std::isfinite(fit.margin(i)));
  EXPECT_NEAR(fit.los(1, 2), 0.5, 1e-9);

  // The maximum: the slope of the likelihood vanishes on the plane, that is every player's
  // points plus its virtual point equal their expectation up to one shared constant.
  auto slope = [&](std::size_t i) {
    double g = 1 - 2 * expected_score(fit.ratings[i]);
    for (std::size_t j = 0; j < 4; ++j) {
      if (j == i) continue;
      g += field.points(i, j) - field.games(i, j) * expected_score(fit.ratings[i] - fit.ratings[j]);
    }
    return g;
  };
  for (std::size_t i = 1; i < 4; ++i) EXPECT_NEAR(slope(i), slope(0), 1e-8);

  // A start from an earlier fit lands on the same ratings, in fewer steps.
  FieldRatings again = fit_ratings(field, fit.ratings);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(again.ratings[i], fit.ratings[i], 1e-8);
  EXPECT_LE(again.iterations, 1);
}

TEST(RatingFit, ARandomFieldConvergesInAFewStepsToTheMaximum) {
  // 40 players 15 Elo apart each, every pairing four games drawn from the model itself.
  constexpr std::size_t kPlayers = 40;
  std::mt19937_64 generator(7);
  PairingResults field(kPlayers);
  for (std::size_t i = 0; i < kPlayers; ++i) {
    for (std::size_t j = i + 1; j < kPlayers; ++j) {
      double s = expected_score(15.0 * (static_cast<double>(j) - static_cast<double>(i)));
      for (int game = 0; game < 4; ++game) {
        double u = static_cast<double>(generator() >> 11) * 0x1p-53;
        field.add_game(i, j, u < 0.2 ? 0.5 : u < 0.2 + (1 - 0.2) * s ? 0.0 : 1.0);
      }
    }
  }
  FieldRatings fit = fit_ratings(field);
  ASSERT_TRUE(fit.converged);
  EXPECT_LE(fit.iterations, 12);
  // The slope of the likelihood is the same for every player (the plane's multiplier).
  std::vector<double> slopes;
  for (std::size_t i = 0; i < kPlayers; ++i) {
    double g = 1 - 2 * expected_score(fit.ratings[i]);
    for (std::size_t j = 0; j < kPlayers; ++j) {
      if (j != i)
        g += field.points(i, j) -
             field.games(i, j) * expected_score(fit.ratings[i] - fit.ratings[j]);
    }
    slopes.push_back(g);
  }
  for (double g : slopes) EXPECT_NEAR(g, slopes[0], 1e-7);
  // The strongest half is rated above the weakest half.
  double top = 0, bottom = 0;
  for (std::size_t i = 0; i < kPlayers / 2; ++i) {
    top += fit.ratings[kPlayers - 1 - i];
    bottom += fit.ratings[i];
  }
  EXPECT_GT(top, bottom + 100 * static_cast<double>(kPlayers) / 2);
  // One more game and a start from the fit: a couple of steps.
  field.add_game(0, 1, 1.0);
  EXPECT_LE(fit_ratings(field, fit.ratings).iterations, 4);
}

TEST(RatingFit, PlayersWithoutGamesAndEmptyFields) {
  EXPECT_TRUE(fit_ratings(PairingResults(0)).ratings.empty());
  PairingResults lone(1);
  FieldRatings fit = fit_ratings(lone);
  EXPECT_EQ(fit.ratings[0], 0);
  PairingResults field(2);
  field.add_game(0, 1, 1.0);
  std::size_t late = field.add_player();
  EXPECT_EQ(late, 2u);
  EXPECT_EQ(field.games(0, 1), 1);
  fit = fit_ratings(field);
  EXPECT_GT(fit.ratings[0], 0);
  EXPECT_TRUE(std::isfinite(fit.margin(2)));
}

}  // namespace
