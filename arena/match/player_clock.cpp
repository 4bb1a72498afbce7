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

void PlayerClock::expired(TimePoint when) {
  Clock::duration budget_left = budget() - charged_;
  bool by_move_limit = move_limit_ && *move_limit_ < budget_left;
  answered(when);
  if (!by_move_limit && charged_ < budget()) charged_ = budget();
}

Milliseconds PlayerClock::charged_ms() const { return std::chrono::round<Milliseconds>(charged_); }

}  // namespace arena
