// The sequential probability ratio test on paired games, and the figures it reports. A pair is
// two games on one tile script with the seats swapped; the tested player scores 0, 1/2, 1, 3/2
// or 2 points in it, and the test works on these pair scores divided by 2 (0, 1/4, ..., 1),
// through the normal approximation of their mean (the generalized SPRT).
#pragma once

#include <array>
#include <optional>

namespace arena::stats {

// How many pairs ended with each score: counts[k] pairs in which the player scored k/2 points.
struct Pentanomial {
  std::array<long long, 5> counts{};

  long long pairs() const;
  void add(int half_points);  // 0 to 4
};

// mu = (1/N) sum x: the mean pair score, x = points / 2. NaN without pairs.
double pair_mean(const Pentanomial& p);

// sigma^2 = (1/N) sum (x - mu)^2: the population variance of the pair scores. NaN without
// pairs.
double pair_variance(const Pentanomial& p);

// The test's two hypotheses, H0: the player is elo0 stronger; H1: elo1 stronger, and the
// error rates: alpha = P(accept H1 | H0), beta = P(accept H0 | H1).
struct SprtParameters {
  double elo0 = 0;
  double elo1 = 0;
  double alpha = 0.05;
  double beta = 0.05;
};

// Throws std::invalid_argument unless elo0 < elo1, 0 < alpha, 0 < beta, alpha + beta < 1 and
// both Elo values are finite.
void check_sprt_parameters(const SprtParameters& parameters);

// LLR = N (s1 - s0) (2 mu - s0 - s1) / (2 sigma^2), with s0 = s(elo0), s1 = s(elo1); 0 while
// sigma^2 = 0 (and without pairs), since the approximation needs some spread.
double sprt_llr(const Pentanomial& p, double elo0, double elo1);

struct SprtBounds {
  double lower;  // ln(beta / (1 - alpha)): H0 is accepted at or below it
  double upper;  // ln((1 - beta) / alpha): H1 is accepted at or above it
};
SprtBounds sprt_bounds(double alpha, double beta);

enum class SprtResult { none, h0, h1 };

// H0 when llr <= lower, H1 when llr >= upper, none in between.
SprtResult sprt_decision(double llr, const SprtBounds& bounds);

// The Elo estimate of the pairs and its 95% interval. The estimate is E(mu) (infinite when mu
// is 0 or 1); the interval maps mu -+ 1.96 sigma / sqrt(N) through E, each end clamped to
// [kScoreClamp, 1 - kScoreClamp] so that it stays finite (at most about 1200 Elo). All NaN
// without pairs.
inline constexpr double kScoreClamp = 0.001;
struct EloInterval {
  double elo;
  double low;
  double high;
};
EloInterval pair_elo(const Pentanomial& p);

// LOS = Phi((mu - 1/2) / (sigma / sqrt(N))): the likelihood that the player is the stronger.
// With sigma = 0 it is 1, 0 or 1/2 as mu is above, below or at 1/2; NaN without pairs.
double pair_los(const Pentanomial& p);

// Every figure of a test in one place, as reported after each pair.
struct SprtStatus {
  Pentanomial pentanomial;
  double llr = 0;
  SprtBounds bounds{};
  EloInterval elo{};
  double los = 0;
  SprtResult result = SprtResult::none;
};
SprtStatus sprt_status(const Pentanomial& p, const SprtParameters& parameters);

}  // namespace arena::stats
