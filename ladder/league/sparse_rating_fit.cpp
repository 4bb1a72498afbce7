#include "ladder/league/sparse_rating_fit.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "arena/stats/elo.h"

namespace ladder::league {

namespace {

using arena::stats::kEloUnit;
using arena::stats::kZ95;

double logistic(double t) { return 1.0 / (1.0 + std::exp(-t)); }

double log_logistic(double t) {
  return t >= 0 ? -std::log1p(std::exp(-t)) : t - std::log1p(std::exp(t));
}

// M = diag(d) - W, W_ij = weights[e] for each pairing e = (i, j): applied without forming it.
struct Curvature {
  std::vector<double> diagonal;
  std::vector<double> weights;  // per pairing

  std::vector<double> times(const std::vector<SparsePairing>& pairings,
                            const std::vector<double>& x) const {
    std::vector<double> y(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) y[i] = diagonal[i] * x[i];
    for (std::size_t e = 0; e < pairings.size(); ++e) {
      y[pairings[e].i] -= weights[e] * x[pairings[e].j];
      y[pairings[e].j] -= weights[e] * x[pairings[e].i];
    }
    return y;
  }
};

double dot(const std::vector<double>& a, const std::vector<double>& b) {
  double sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i) sum += a[i] * b[i];
  return sum;
}

// Conjugate gradients with the diagonal as preconditioner, to a residual of kSolveTolerance
// relative to b. M is symmetric positive definite (the prior adds to every diagonal entry of
// a diagonally dominant matrix), so the iteration converges.
std::vector<double> solve(const std::vector<SparsePairing>& pairings, const Curvature& m,
                          const std::vector<double>& b) {
  constexpr double kSolveTolerance = 1e-12;
  const std::size_t n = b.size();
  std::vector<double> x(n, 0.0), r = b, z(n), p(n);
  for (std::size_t i = 0; i < n; ++i) z[i] = r[i] / m.diagonal[i];
  p = z;
  double rz = dot(r, z);
  const double limit = kSolveTolerance * kSolveTolerance * dot(b, b);
  for (std::size_t k = 0; k < 10 * n + 100 && dot(r, r) > limit; ++k) {
    std::vector<double> mp = m.times(pairings, p);
    double alpha = rz / dot(p, mp);
    for (std::size_t i = 0; i < n; ++i) x[i] += alpha * p[i], r[i] -= alpha * mp[i];
    for (std::size_t i = 0; i < n; ++i) z[i] = r[i] / m.diagonal[i];
    double next = dot(r, z);
    for (std::size_t i = 0; i < n; ++i) p[i] = z[i] + (next / rz) * p[i];
    rz = next;
  }
  return x;
}

struct Field {
  std::size_t n;
  const std::vector<SparsePairing>& pairings;

  double log_likelihood(const std::vector<double>& theta) const {
    double sum = 0;
    for (double t : theta) sum += log_logistic(t) + log_logistic(-t);
    for (const SparsePairing& p : pairings) {
      double d = theta[p.i] - theta[p.j];
      sum += p.points_i * log_logistic(d) + (p.games - p.points_i) * log_logistic(-d);
    }
    return sum;
  }

  void gradient_and_curvature(const std::vector<double>& theta, std::vector<double>& g,
                              Curvature& m) const {
    g.assign(n, 0.0);
    m.diagonal.assign(n, 0.0);
    m.weights.assign(pairings.size(), 0.0);
    for (std::size_t i = 0; i < n; ++i) {
      double prior = logistic(theta[i]);
      g[i] = 1 - 2 * prior;
      m.diagonal[i] = 2 * prior * (1 - prior);
    }
    for (std::size_t e = 0; e < pairings.size(); ++e) {
      const SparsePairing& p = pairings[e];
      double expected = logistic(theta[p.i] - theta[p.j]);
      double excess = p.points_i - p.games * expected;
      g[p.i] += excess;
      g[p.j] -= excess;
      double weight = p.games * expected * (1 - expected);
      m.weights[e] = weight;
      m.diagonal[p.i] += weight;
      m.diagonal[p.j] += weight;
    }
  }

  // d = u - lambda v, u = M^-1 g, v = M^-1 1, lambda = (1^T u) / (1^T v): the Newton step on
  // the plane sum theta = 0, as the dense fit takes it.
  std::vector<double> constrained_step(const Curvature& m, const std::vector<double>& g) const {
    std::vector<double> u = solve(pairings, m, g);
    std::vector<double> v = solve(pairings, m, std::vector<double>(n, 1.0));
    double sum_u = 0, sum_v = 0;
    for (std::size_t i = 0; i < n; ++i) sum_u += u[i], sum_v += v[i];
    for (std::size_t i = 0; i < n; ++i) u[i] -= sum_u / sum_v * v[i];
    return u;
  }

  std::vector<double> margins(const Curvature& m) const {
    std::vector<double> variance(n);
    for (std::size_t i = 0; i < n; ++i) variance[i] = 1 / m.diagonal[i];
    for (std::size_t e = 0; e < pairings.size(); ++e) {
      const SparsePairing& p = pairings[e];
      double w2 = m.weights[e] * m.weights[e];
      variance[p.i] += w2 / (m.diagonal[p.i] * m.diagonal[p.i] * m.diagonal[p.j]);
      variance[p.j] += w2 / (m.diagonal[p.j] * m.diagonal[p.j] * m.diagonal[p.i]);
    }
    for (double& x : variance) x = kZ95 * std::sqrt(x) / kEloUnit;
    return variance;
  }
};

void center(std::vector<double>& theta) {
  if (theta.empty()) return;
  double mean = 0;
  for (double t : theta) mean += t;
  mean /= static_cast<double>(theta.size());
  for (double& t : theta) t -= mean;
}

}  // namespace

SparseFit fit_sparse_ratings(std::size_t players, const std::vector<SparsePairing>& pairings,
                             const std::vector<double>& start) {
  SparseFit fit;
  if (players == 0) {
    fit.converged = true;
    return fit;
  }
  for (const SparsePairing& p : pairings) assert(p.i < players && p.j < players && p.i != p.j);
  Field field{players, pairings};
  std::vector<double> theta(players, 0.0);
  if (start.size() == players) {
    for (std::size_t i = 0; i < players; ++i)
      theta[i] = std::isfinite(start[i]) ? start[i] * kEloUnit : 0.0;
    center(theta);
  }

  std::vector<double> g;
  Curvature m;
  field.gradient_and_curvature(theta, g, m);
  double value = field.log_likelihood(theta);
  // About 4e-7 Elo: the conjugate gradients leave the step exact to about this much.
  constexpr double kTolerance = 1e-9;
  while (fit.iterations < kSparseMaxIterations) {
    std::vector<double> step = field.constrained_step(m, g);
    double largest = 0, slope = 0;
    for (std::size_t i = 0; i < players; ++i) {
      largest = std::max(largest, std::abs(step[i]));
      slope += g[i] * step[i];
    }
    if (largest < kTolerance) {
      fit.converged = true;
      break;
    }
    ++fit.iterations;
    // Backtracking as in the dense fit; close to the maximum the full step is taken.
    bool close = largest < 1e-6;
    std::vector<double> next(players);
    double next_value = value;
    bool improved = false;
    for (double t = 1; t > 1e-12; t /= 2) {
      for (std::size_t i = 0; i < players; ++i) next[i] = theta[i] + t * step[i];
      next_value = field.log_likelihood(next);
      if (close || next_value >= value + 1e-4 * t * slope) {
        improved = true;
        break;
      }
    }
    if (!improved) break;
    theta = std::move(next);
    value = next_value;
    center(theta);
    field.gradient_and_curvature(theta, g, m);
  }

  fit.margins = field.margins(m);
  fit.ratings.resize(players);
  for (std::size_t i = 0; i < players; ++i) fit.ratings[i] = theta[i] / kEloUnit;
  return fit;
}

}  // namespace ladder::league
