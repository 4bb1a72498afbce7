#include "ladder/league/rating_history.h"

#include <algorithm>

namespace ladder::league {

std::vector<std::pair<std::int64_t, double>> thin_history(
    std::vector<std::pair<std::int64_t, double>> points, std::size_t keep) {
  keep = std::max<std::size_t>(keep, 2);
  if (points.size() <= keep) return points;
  std::stable_sort(points.begin(), points.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  const double first = static_cast<double>(points.front().first);
  const double span = static_cast<double>(points.back().first) - first;
  std::vector<std::pair<std::int64_t, double>> kept{points.front()};
  std::size_t taken = 0;  // index of the last point kept
  for (std::size_t k = 1; k + 1 < keep; ++k) {
    // The point nearest in time to the k-th of `keep` even marks, later than the last kept.
    const double mark = first + span * static_cast<double>(k) / static_cast<double>(keep - 1);
    auto after = std::lower_bound(
        points.begin() + static_cast<std::ptrdiff_t>(taken + 1), points.end() - 1, mark,
        [](const auto& point, double time) { return static_cast<double>(point.first) < time; });
    auto at = static_cast<std::size_t>(after - points.begin());
    if (at > taken + 1 && mark - static_cast<double>(points[at - 1].first) <
                              static_cast<double>(points[at].first) - mark)
      --at;
    if (at >= points.size() - 1) break;
    kept.push_back(points[at]);
    taken = at;
  }
  kept.push_back(points.back());
  return kept;
}

}  // namespace ladder::league
