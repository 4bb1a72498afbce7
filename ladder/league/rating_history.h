// A version's rating over time, thinned for display: a long-lived version records a point at
// every refit, and a page needs only enough of them to draw the curve.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace ladder::league {

// (UNIX seconds, rating) points in time order, cut to the first, the last and at most `keep`
// points between spread evenly in time.
std::vector<std::pair<std::int64_t, double>> thin_history(
    std::vector<std::pair<std::int64_t, double>> points, std::size_t keep);

}  // namespace ladder::league
