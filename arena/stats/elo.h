// The logistic Elo model shared by every statistic of the arena: expected score from a rating
// difference and back, and the normal distribution the confidence figures use.
#pragma once

namespace arena::stats {

// The two-sided 95% quantile of the standard normal distribution.
inline constexpr double kZ95 = 1.959963984540054;

// s(E) = 1 / (1 + 10^(-E/400)): the expected score of a player E Elo stronger.
double expected_score(double elo);

// E(p) = -400 log10(1/p - 1), the inverse of expected_score; -inf at p <= 0, +inf at p >= 1.
double elo_from_score(double score);

// Phi(x) = (1 + erf(x / sqrt(2))) / 2, the standard normal distribution function.
double normal_cdf(double x);

// ln(10) / 400: d/dE of the exponent, the factor between Elo and natural logistic units.
inline constexpr double kEloUnit = 2.302585092994046 / 400.0;

}  // namespace arena::stats
