#include "arena/match/player_clock.h"

#include <algorithm>

namespace arena {

Clock::duration PlayerClock::allowance() const {
  const Clock::duration left = std::max(budget() - charged_, Clock::duration::zero());
  return move_limit_ ? std::min(left, *move_limit_) : left;
}

TimePoint PlayerClock::deadline(TimePoint now) {
  if (!since_) since_ = now;
  return *since_ + allowance();
}

void PlayerClock::answered(TimePoint when) {
  if (since_ && when > *since_) charged_ += std::min(when - *since_, allowance());
  since_.reset();
  added_ += increment_;
}

TimeoutDetail PlayerClock::expired() {
  // Decided as deadline() set the wait: the move limit fired when it was the shorter of the two.
  const bool by_move_limit = move_limit_ && *move_limit_ < budget() - charged_;
  // However late the arena noticed, the player had no more than this.
  const Clock::duration allowed = allowance();
  charged_ += allowed;
  since_.reset();
  TimeoutDetail detail;
  if (by_move_limit) {
    detail.limit = TimeLimit::kMove;
    detail.allowed = std::chrono::round<Milliseconds>(*move_limit_);
    detail.used = std::chrono::round<Milliseconds>(allowed);
    return detail;
  }
  detail.limit = TimeLimit::kGame;
  detail.allowed = std::chrono::round<Milliseconds>(limit_);
  detail.earned = std::chrono::round<Milliseconds>(added_);
  detail.used = charged_ms();
  return detail;
}

Milliseconds PlayerClock::charged_ms() const { return std::chrono::round<Milliseconds>(charged_); }

}  // namespace arena
