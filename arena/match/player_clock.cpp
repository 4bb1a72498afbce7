#include "arena/match/player_clock.h"

#include <algorithm>

namespace arena {

TimePoint PlayerClock::deadline(TimePoint now) {
  if (!since_) since_ = now;
  Clock::duration left = budget() - charged_;
  if (move_limit_) left = std::min(left, *move_limit_);
  return *since_ + left;
}

void PlayerClock::answered(TimePoint when) {
  if (since_ && when > *since_) charged_ += when - *since_;
  since_.reset();
  added_ += increment_;
}

TimeoutDetail PlayerClock::expired(TimePoint when) {
  // Decided as deadline() set the wait: the move limit fired when it was the shorter of the two.
  const bool by_move_limit = move_limit_ && *move_limit_ < budget() - charged_;
  const Clock::duration answer_time =
      since_ && when > *since_ ? when - *since_ : Clock::duration::zero();
  answered(when);
  // A time-out earns no increment: the budget stays the one the player actually had.
  added_ -= increment_;
  TimeoutDetail detail;
  if (by_move_limit) {
    detail.limit = TimeLimit::kMove;
    detail.allowed = std::chrono::round<Milliseconds>(*move_limit_);
    detail.used = std::chrono::round<Milliseconds>(answer_time);
    return detail;
  }
  if (charged_ < budget()) charged_ = budget();
  detail.limit = TimeLimit::kGame;
  detail.allowed = std::chrono::round<Milliseconds>(limit_);
  detail.used = charged_ms();
  return detail;
}

Milliseconds PlayerClock::charged_ms() const { return std::chrono::round<Milliseconds>(charged_); }

}  // namespace arena
