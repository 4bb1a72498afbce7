#include "arena/match/player_clock.h"

namespace arena {

TimePoint PlayerClock::deadline(TimePoint now) {
  if (!since_) since_ = now;
  return *since_ + (limit_ - charged_);
}

void PlayerClock::answered(TimePoint when) {
  if (since_ && when > *since_) charged_ += when - *since_;
  since_.reset();
}

void PlayerClock::expired(TimePoint when) {
  answered(when);
  if (charged_ < limit_) charged_ = limit_;
}

Milliseconds PlayerClock::charged_ms() const { return std::chrono::round<Milliseconds>(charged_); }

}  // namespace arena
