#include "ladder/league/matchmaker.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <tuple>

namespace ladder::league {

namespace {

// One pick in this many is seeded by the version that played least recently, so that no
// version is left idle for long, whatever its share.
constexpr int kLeastRecentEvery = 10;
// The rank distance d >= 1 of an opponent has P(d >= k) = k^-kTailExponent: mostly neighbours,
// now and then somebody far up or down the table.
constexpr double kTailExponent = 1.2;
// Draws from the window before the nearest legal opponent is taken instead.
constexpr int kWindowTries = 16;

bool settling(const ActiveVersion& v) { return v.pairs < kSettlingPairs; }

bool can_take_job(const ActiveVersion& v) {
  return !settling(v) || v.in_flight < kSettlingInFlight;
}

struct Field {
  std::vector<ActiveVersion> versions;  // ordered by rating, best first: the index is the rank
  std::vector<bool> exhausted;          // no legal opponent left in this call

  bool legal(std::size_t seed, std::size_t other, bool allow_last) const {
    const ActiveVersion& s = versions[seed];
    const ActiveVersion& o = versions[other];
    if (seed == other || s.entrant == o.entrant || !can_take_job(o)) return false;
    return allow_last || (s.last_opponent != o.id && o.last_opponent != s.id);
  }

  // The seed the shares call for: a settling version before any other, then the one with the
  // fewest pairs played or under way, then the one idle longest.
  std::optional<std::size_t> neediest() const {
    std::optional<std::size_t> best;
    auto key = [&](std::size_t i) {
      const ActiveVersion& v = versions[i];
      return std::tuple(!settling(v), v.pairs + v.in_flight, v.last_played, v.id);
    };
    for (std::size_t i = 0; i < versions.size(); ++i) {
      if (exhausted[i] || !can_take_job(versions[i])) continue;
      if (!best || key(i) < key(*best)) best = i;
    }
    return best;
  }

  std::optional<std::size_t> least_recent() const {
    std::optional<std::size_t> best;
    auto key = [&](std::size_t i) { return std::pair(versions[i].last_played, versions[i].id); };
    for (std::size_t i = 0; i < versions.size(); ++i) {
      if (exhausted[i] || !can_take_job(versions[i])) continue;
      if (!best || key(i) < key(*best)) best = i;
    }
    return best;
  }

  // The nearest legal opponent by rank, above or below; the last opponent only when nobody
  // else is legal.
  std::optional<std::size_t> nearest(std::size_t seed) const {
    for (bool allow_last : {false, true}) {
      for (std::size_t d = 1; d < versions.size(); ++d) {
        if (seed >= d && legal(seed, seed - d, allow_last)) return seed - d;
        if (seed + d < versions.size() && legal(seed, seed + d, allow_last)) return seed + d;
      }
    }
    return std::nullopt;
  }

  std::optional<std::size_t> opponent(std::size_t seed, std::mt19937_64& rng) const {
    const std::size_t n = versions.size();
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int attempt = 0; attempt < kWindowTries; ++attempt) {
      // Inverse transform of the discrete Pareto law; 1 - u lies in (0, 1].
      double u = 1.0 - unit(rng);
      double distance = std::floor(std::pow(u, -1.0 / kTailExponent));
      bool up = unit(rng) < 0.5;
      if (distance >= static_cast<double>(n)) continue;
      auto d = static_cast<std::size_t>(distance);
      // Off the end of the table in the direction drawn: look the other way, so that the
      // leader and the last still meet the field.
      if (up && seed < d) up = false;
      if (!up && seed + d >= n) up = true;
      if (up && seed < d) continue;
      std::size_t other = up ? seed - d : seed + d;
      if (legal(seed, other, false)) return other;
    }
    return nearest(seed);
  }

  void record(std::size_t seed, std::size_t other, std::int64_t now) {
    for (auto [a, b] : {std::pair(seed, other), std::pair(other, seed)}) {
      ++versions[a].in_flight;
      versions[a].last_opponent = versions[b].id;
      versions[a].last_played = now;
    }
  }
};

}  // namespace

std::vector<Pick> pick_pairs(std::vector<ActiveVersion> versions, std::size_t wanted,
                             std::mt19937_64& rng) {
  // A rating that is not a number (never fitted, or a broken row) ranks as 0, so the order stays
  // a strict one.
  for (ActiveVersion& v : versions)
    if (!std::isfinite(v.rating)) v.rating = 0;
  std::sort(versions.begin(), versions.end(), [](const ActiveVersion& a, const ActiveVersion& b) {
    return a.rating != b.rating ? a.rating > b.rating : a.id < b.id;
  });
  Field field{std::move(versions), {}};
  field.exhausted.assign(field.versions.size(), false);
  // A version picked here counts as just played, after every time the field knows.
  std::int64_t now = std::numeric_limits<std::int64_t>::min();
  for (const ActiveVersion& v : field.versions) now = std::max(now, v.last_played);

  std::vector<Pick> picks;
  std::uniform_int_distribution<int> every(0, kLeastRecentEvery - 1);
  while (picks.size() < wanted) {
    bool by_age = every(rng) == 0;
    std::optional<std::size_t> seed = by_age ? field.least_recent() : field.neediest();
    if (!seed) break;
    std::optional<std::size_t> other = field.opponent(*seed, rng);
    if (!other) {
      field.exhausted[*seed] = true;
      continue;
    }
    if (now < std::numeric_limits<std::int64_t>::max()) ++now;
    field.record(*seed, *other, now);
    picks.push_back({field.versions[*seed].id, field.versions[*other].id});
  }
  return picks;
}

}  // namespace ladder::league
