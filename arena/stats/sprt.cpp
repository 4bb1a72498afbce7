#include "arena/stats/sprt.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "arena/stats/elo.h"

namespace arena::stats {

namespace {

// The pair score x of a pentanomial slot: k half points of 2 points.
double slot_score(int k) { return k / 4.0; }

}  // namespace

long long Pentanomial::pairs() const {
  long long total = 0;
  for (long long count : counts) total += count;
  return total;
}

void Pentanomial::add(int half_points) {
  if (half_points < 0 || half_points > 4) throw std::out_of_range("a pair scores 0 to 2 points");
  ++counts[static_cast<std::size_t>(half_points)];
}

double pair_mean(const Pentanomial& p) {
  long long n = p.pairs();
  if (n == 0) return std::nan("");
  double sum = 0;
  for (int k = 0; k < 5; ++k) sum += static_cast<double>(p.counts[k]) * slot_score(k);
  return sum / static_cast<double>(n);
}

double pair_variance(const Pentanomial& p) {
  long long n = p.pairs();
  if (n == 0) return std::nan("");
  double mu = pair_mean(p);
  double sum = 0;
  for (int k = 0; k < 5; ++k) {
    double d = slot_score(k) - mu;
    sum += static_cast<double>(p.counts[k]) * d * d;
  }
  return sum / static_cast<double>(n);
}

void check_sprt_parameters(const SprtParameters& parameters) {
  if (!std::isfinite(parameters.elo0) || !std::isfinite(parameters.elo1))
    throw std::invalid_argument("--elo0 and --elo1 must be finite numbers");
  if (!(parameters.elo0 < parameters.elo1))
    throw std::invalid_argument("--elo0 must be below --elo1");
  if (!(parameters.alpha > 0 && parameters.alpha < 1))
    throw std::invalid_argument("--alpha must lie strictly between 0 and 1");
  if (!(parameters.beta > 0 && parameters.beta < 1))
    throw std::invalid_argument("--beta must lie strictly between 0 and 1");
  if (!(parameters.alpha + parameters.beta < 1))
    throw std::invalid_argument("--alpha plus --beta must be below 1");
}

double sprt_llr(const Pentanomial& p, double elo0, double elo1) {
  long long n = p.pairs();
  if (n == 0) return 0;
  double variance = pair_variance(p);
  // Every pair scored alike: no spread to scale by yet. The tolerance absorbs rounding of a
  // spread that is really zero.
  if (variance <= 1e-15) return 0;
  double s0 = expected_score(elo0), s1 = expected_score(elo1);
  double mu = pair_mean(p);
  return static_cast<double>(n) * (s1 - s0) * (2 * mu - s0 - s1) / (2 * variance);
}

SprtBounds sprt_bounds(double alpha, double beta) {
  return {std::log(beta / (1 - alpha)), std::log((1 - beta) / alpha)};
}

SprtResult sprt_decision(double llr, const SprtBounds& bounds) {
  if (llr <= bounds.lower) return SprtResult::h0;
  if (llr >= bounds.upper) return SprtResult::h1;
  return SprtResult::none;
}

EloInterval pair_elo(const Pentanomial& p) {
  long long n = p.pairs();
  if (n == 0) return {std::nan(""), std::nan(""), std::nan("")};
  double mu = pair_mean(p);
  double delta = kZ95 * std::sqrt(pair_variance(p) / static_cast<double>(n));
  auto clamped = [](double score) { return std::clamp(score, kScoreClamp, 1 - kScoreClamp); };
  return {elo_from_score(mu), elo_from_score(clamped(mu - delta)),
          elo_from_score(clamped(mu + delta))};
}

double pair_los(const Pentanomial& p) {
  long long n = p.pairs();
  if (n == 0) return std::nan("");
  double mu = pair_mean(p);
  double error = std::sqrt(pair_variance(p) / static_cast<double>(n));
  if (error <= 1e-12) return mu > 0.5 ? 1.0 : mu < 0.5 ? 0.0 : 0.5;
  return normal_cdf((mu - 0.5) / error);
}

SprtStatus sprt_status(const Pentanomial& p, const SprtParameters& parameters) {
  SprtStatus status;
  status.pentanomial = p;
  status.llr = sprt_llr(p, parameters.elo0, parameters.elo1);
  status.bounds = sprt_bounds(parameters.alpha, parameters.beta);
  status.elo = pair_elo(p);
  status.los = pair_los(p);
  status.result = sprt_decision(status.llr, status.bounds);
  return status;
}

}  // namespace arena::stats
