// A player's thinking time over one game. The clock runs from the delivery of the last line
// the player was sent before an answer to the arrival of that answer; the total is held
// against the player's budget for the whole game, which each answer raises by the increment
// (a Fischer clock), and each answer alone against the move limit, when there is one.
#pragma once

#include <optional>

#include "arena/system/deadline.h"

namespace arena {

class PlayerClock {
 public:
  explicit PlayerClock(Clock::duration limit, std::optional<Clock::duration> move_limit = {},
                       Clock::duration increment = {})
      : limit_(limit), move_limit_(move_limit), increment_(increment) {}

  // A line reached the player: its clock (re)starts from here.
  void delivered(TimePoint when) { since_ = when; }

  // When the answer now awaited would use up the rest of the budget, or pass the move limit.
  // Without a line delivered since the last answer the clock starts at `now`.
  TimePoint deadline(TimePoint now);

  // The answer arrived: the time since the clock started is charged, and the increment added.
  void answered(TimePoint when);

  // The time ran out while the player was awaited: charged as an answer arriving `when`, and,
  // when the budget ran out (not the move limit), never less than the whole budget.
  void expired(TimePoint when);

  Clock::duration charged() const { return charged_; }
  Milliseconds charged_ms() const;

 private:
  Clock::duration budget() const { return limit_ + added_; }

  Clock::duration limit_;
  std::optional<Clock::duration> move_limit_;
  Clock::duration increment_;
  Clock::duration added_{};  // increments so far
  Clock::duration charged_{};
  std::optional<TimePoint> since_;
};

}  // namespace arena
