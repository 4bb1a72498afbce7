#include "arena/stats/rating_fit.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "arena/stats/elo.h"

namespace arena::stats {

namespace {

// The logistic function in natural units: sigma(t) = 1 / (1 + e^-t) = s(t / kEloUnit).
double logistic(double t) { return 1.0 / (1.0 + std::exp(-t)); }

// ln sigma(t), accurate for large |t|.
double log_logistic(double t) {
  return t >= 0 ? -std::log1p(std::exp(-t)) : t - std::log1p(std::exp(t));
}

using Matrix = std::vector<double>;  // n x n, row-major

// Everything is computed in natural units theta = R * kEloUnit, where s becomes sigma.
struct Field {
  const PairingResults& results;
  std::size_t n;

  double log_likelihood(const std::vector<double>& theta) const {
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
      sum += log_logistic(theta[i]) + log_logistic(-theta[i]);
      for (std::size_t j = i + 1; j < n; ++j) {
        double games = results.games(i, j);
        if (games == 0) continue;
        double points = results.points(i, j);
        sum += points * log_logistic(theta[i] - theta[j]) +
               (games - points) * log_logistic(theta[j] - theta[i]);
      }
    }
    return sum;
  }

  // g_i = sum_j (P_ij - G_ij sigma(theta_i - theta_j)) + 1 - 2 sigma(theta_i);
  // M_ii = sum_j G_ij w_ij + 2 w_i0, M_ij = -G_ij w_ij, with w = sigma (1 - sigma).
  void gradient_and_curvature(const std::vector<double>& theta, std::vector<double>& g,
                              Matrix& m) const {
    g.assign(n, 0);
    m.assign(n * n, 0);
    for (std::size_t i = 0; i < n; ++i) {
      double prior = logistic(theta[i]);
      g[i] += 1 - 2 * prior;
      m[i * n + i] += 2 * prior * (1 - prior);
      for (std::size_t j = i + 1; j < n; ++j) {
        double games = results.games(i, j);
        if (games == 0) continue;
        double expected = logistic(theta[i] - theta[j]);
        double excess = results.points(i, j) - games * expected;
        g[i] += excess;
        g[j] -= excess;
        double weight = games * expected * (1 - expected);
        m[i * n + i] += weight;
        m[j * n + j] += weight;
        m[i * n + j] -= weight;
        m[j * n + i] -= weight;
      }
    }
  }
};

// Cholesky factor L (lower, row-major) of a symmetric positive definite matrix, in place.
// M is positive definite here: the prior adds a positive amount to every diagonal entry of a
// diagonally dominant matrix.
void cholesky(Matrix& a, std::size_t n) {
  for (std::size_t j = 0; j < n; ++j) {
    double diagonal = a[j * n + j];
    for (std::size_t k = 0; k < j; ++k) diagonal -= a[j * n + k] * a[j * n + k];
    assert(diagonal > 0);
    double root = std::sqrt(diagonal);
    a[j * n + j] = root;
    for (std::size_t i = j + 1; i < n; ++i) {
      double value = a[i * n + j];
      for (std::size_t k = 0; k < j; ++k) value -= a[i * n + k] * a[j * n + k];
      a[i * n + j] = value / root;
    }
    for (std::size_t k = j + 1; k < n; ++k) a[j * n + k] = 0;
  }
}

// Solves L L^T x = b.
std::vector<double> solve(const Matrix& l, std::size_t n, std::vector<double> b) {
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t k = 0; k < i; ++k) b[i] -= l[i * n + k] * b[k];
    b[i] /= l[i * n + i];
  }
  for (std::size_t i = n; i-- > 0;) {
    for (std::size_t k = i + 1; k < n; ++k) b[i] -= l[k * n + i] * b[k];
    b[i] /= l[i * n + i];
  }
  return b;
}

// The Newton step for maximizing L on the plane sum theta = 0: d = u - lambda v with
// u = M^-1 g, v = M^-1 1 and lambda = (1^T u) / (1^T v), so that sum d = 0.
std::vector<double> constrained_step(const Matrix& l, std::size_t n, const std::vector<double>& g) {
  std::vector<double> u = solve(l, n, g);
  std::vector<double> v = solve(l, n, std::vector<double>(n, 1.0));
  double sum_u = 0, sum_v = 0;
  for (std::size_t i = 0; i < n; ++i) sum_u += u[i], sum_v += v[i];
  double lambda = sum_u / sum_v;
  for (std::size_t i = 0; i < n; ++i) u[i] -= lambda * v[i];
  return u;
}

void center(std::vector<double>& theta) {
  if (theta.empty()) return;
  double mean = 0;
  for (double t : theta) mean += t;
  mean /= static_cast<double>(theta.size());
  for (double& t : theta) t -= mean;
}

}  // namespace

PairingResults::PairingResults(std::size_t players)
    : games_(players, std::vector<double>(players, 0.0)),
      points_(players, std::vector<double>(players, 0.0)) {}

std::size_t PairingResults::add_player() {
  for (auto& row : games_) row.push_back(0.0);
  for (auto& row : points_) row.push_back(0.0);
  std::size_t n = games_.size() + 1;
  games_.emplace_back(n, 0.0);
  points_.emplace_back(n, 0.0);
  return n - 1;
}

void PairingResults::add_game(std::size_t i, std::size_t j, double points_i) {
  assert(i < players() && j < players() && i != j);
  games_[i][j] += 1;
  games_[j][i] += 1;
  points_[i][j] += points_i;
  points_[j][i] += 1 - points_i;
}

double FieldRatings::margin(std::size_t i) const {
  std::size_t n = ratings.size();
  return kZ95 * std::sqrt(std::max(covariance[i * n + i], 0.0));
}

double FieldRatings::los(std::size_t i, std::size_t j) const {
  std::size_t n = ratings.size();
  double variance = covariance[i * n + i] + covariance[j * n + j] - 2 * covariance[i * n + j];
  double difference = ratings[i] - ratings[j];
  if (variance <= 0) return difference > 0 ? 1.0 : difference < 0 ? 0.0 : 0.5;
  return normal_cdf(difference / std::sqrt(variance));
}

FieldRatings fit_ratings(const PairingResults& results, const std::vector<double>& start) {
  const std::size_t n = results.players();
  FieldRatings fit;
  if (n == 0) {
    fit.converged = true;
    return fit;
  }
  Field field{results, n};
  std::vector<double> theta(n, 0.0);
  if (start.size() == n) {
    for (std::size_t i = 0; i < n; ++i)
      theta[i] = std::isfinite(start[i]) ? start[i] * kEloUnit : 0.0;
    center(theta);
  }

  std::vector<double> g;
  Matrix l;
  field.gradient_and_curvature(theta, g, l);
  cholesky(l, n);
  double value = field.log_likelihood(theta);
  // A step below this (in natural units, about 1e-8 Elo) leaves the ratings as they are.
  constexpr double kTolerance = 1e-10;
  while (fit.iterations < kMaxIterations) {
    std::vector<double> step = constrained_step(l, n, g);
    double largest = 0, slope = 0;
    for (std::size_t i = 0; i < n; ++i) {
      largest = std::max(largest, std::abs(step[i]));
      slope += g[i] * step[i];
    }
    if (largest < kTolerance) {
      fit.converged = true;
      break;
    }
    ++fit.iterations;
    // Backtracking (Armijo): halve the step until the likelihood rises enough. Close to the
    // maximum the full Newton step is right (convergence is quadratic there), and the rise is
    // below the rounding error of the likelihood, so it is taken without the test.
    bool close = largest < 1e-6;
    std::vector<double> next(n);
    double next_value = value;
    bool improved = false;
    for (double t = 1; t > 1e-12; t /= 2) {
      for (std::size_t i = 0; i < n; ++i) next[i] = theta[i] + t * step[i];
      next_value = field.log_likelihood(next);
      if (close || next_value >= value + 1e-4 * t * slope) {
        improved = true;
        break;
      }
    }
    if (!improved) break;  // no rise left that floating point can show
    theta = std::move(next);
    value = next_value;
    center(theta);  // keeps rounding from drifting off the plane
    field.gradient_and_curvature(theta, g, l);
    cholesky(l, n);
  }

  // C = M^-1 - v v^T / (1^T v), v = M^-1 1, in Elo^2.
  std::vector<double> v = solve(l, n, std::vector<double>(n, 1.0));
  double sum_v = 0;
  for (double x : v) sum_v += x;
  fit.covariance.assign(n * n, 0.0);
  std::vector<double> unit(n, 0.0);
  for (std::size_t j = 0; j < n; ++j) {
    unit.assign(n, 0.0);
    unit[j] = 1;
    std::vector<double> column = solve(l, n, unit);
    for (std::size_t i = 0; i < n; ++i) {
      fit.covariance[i * n + j] = (column[i] - v[i] * v[j] / sum_v) / (kEloUnit * kEloUnit);
    }
  }
  fit.ratings.resize(n);
  for (std::size_t i = 0; i < n; ++i) fit.ratings[i] = theta[i] / kEloUnit;
  return fit;
}

}  // namespace arena::stats
