// The one clock the arena measures with, and the poll timeout that reaches a deadline.
#pragma once

#include <chrono>

namespace arena {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;
using Milliseconds = std::chrono::milliseconds;

// Milliseconds from now until `deadline` for poll(), rounded up so that a wait never ends
// just before the deadline and spins; 0 once it has passed.
int poll_timeout(TimePoint deadline);

}  // namespace arena
