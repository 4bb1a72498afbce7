#include "arena/system/deadline.h"

#include <algorithm>
#include <climits>

namespace arena {

int poll_timeout(TimePoint deadline) {
  auto left = deadline - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  auto ms = std::chrono::ceil<Milliseconds>(left).count();
  return static_cast<int>(std::min<long long>(ms, INT_MAX));
}

}  // namespace arena
