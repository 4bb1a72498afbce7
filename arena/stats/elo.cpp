#include "arena/stats/elo.h"

#include <cmath>
#include <limits>

namespace arena::stats {

double expected_score(double elo) { return 1.0 / (1.0 + std::pow(10.0, -elo / 400.0)); }

double elo_from_score(double score) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  if (score <= 0) return -kInfinity;
  if (score >= 1) return kInfinity;
  return -400.0 * std::log10(1.0 / score - 1.0);
}

double normal_cdf(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

}  // namespace arena::stats
