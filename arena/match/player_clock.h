// A player's thinking time over one game. The clock runs from the delivery of the last line
// the player was sent before an answer to the arrival of that answer; the total is held
// against the player's limit for the whole game.
#pragma once

#include <optional>

#include "arena/system/deadline.h"

namespace arena {

class PlayerClock {
 public:
  explicit PlayerClock(Clock::duration limit) : limit_(limit) {}

  // A line reached the player: its clock (re)starts from here.
  void delivered(TimePoint when) { since_ = when; }

  // When the answer now awaited would use up the rest of the limit. Without a line delivered
  // since the last answer the clock starts at `now`.
  TimePoint deadline(TimePoint now);

  // The answer arrived: the time since the clock started is charged.
  void answered(TimePoint when);

  // The limit ran out while the player was awaited: charged as an answer arriving `when`,
  // and never less than the whole limit.
  void expired(TimePoint when);

  Clock::duration charged() const { return charged_; }
  Milliseconds charged_ms() const;

 private:
  Clock::duration limit_;
  Clock::duration charged_{};
  std::optional<TimePoint> since_;
};

}  // namespace arena
