// A player's thinking time over one game, and the one place its limits on thinking time are
// enforced (the CPU limit of --clock cpu is Player's): the clock runs from the delivery of the
// last line the player was sent before an answer to the arrival of that answer; the total is
// held against the player's budget for the whole game, which each answer raises by the increment
// (a Fischer clock), and each answer alone against the move limit, when there is one. An answer
// is charged the time it took, never more than it was allowed. When the time runs out, the clock
// tells which of the two limits fired; timeout_explanation.h says it in words.
#pragma once

#include <algorithm>
#include <optional>

#include "arena/system/deadline.h"
#include "arena/system/tree_wait.h"

namespace arena {

// The limit a player's time ran out against.
enum class TimeLimit {
  kGame,  // its thinking time over the whole game (under --clock cpu: the wall limit)
  kMove,  // the thinking time of a single answer (--move-limit)
  kCpu,   // the CPU time of its process tree over the whole game (--clock cpu)
};

// How a player's time ran out: the limit that fired, its value, and what was held against it.
struct TimeoutDetail {
  TimeLimit limit = TimeLimit::kGame;
  Milliseconds allowed{};  // the limit as given (kGame, kCpu: without the increments earned)
  Milliseconds earned{};   // kGame, kCpu: the increments its answers in time had added to it
  Milliseconds used{};     // kGame: the game's thinking time; kMove: the answer's; kCpu: CPU
  // It kept the CPU busy right up to the time-out: it was still working on a slow answer, not
  // waiting for input with an answer left unwritten.
  bool busy = false;
  // When not busy: what its threads waited in as its time ran out (kUnknown where /proc did
  // not tell).
  TreeWait idle;
};

class PlayerClock {
 public:
  explicit PlayerClock(Clock::duration limit, std::optional<Clock::duration> move_limit = {},
                       Clock::duration increment = {})
      : limit_(limit), move_limit_(move_limit), increment_(increment) {}

  // A line reached the player: its clock (re)starts from here.
  void delivered(TimePoint when) { since_ = when; }

  // When the answer now awaited would use up the rest of the budget, or pass the move limit,
  // whichever comes first. Without a line delivered since the last answer the clock starts at
  // `now`.
  TimePoint deadline(TimePoint now);

  // The answer arrived: the time since the clock started is charged, cut at what the answer was
  // allowed (a line read a moment past its deadline), and the increment added.
  void answered(TimePoint when);

  // The time ran out while the player was awaited: the answer is charged all it was allowed,
  // and earns no increment. Says which limit fired: the move limit when it came before the end
  // of the budget (`busy` and `idle` are left to the caller).
  TimeoutDetail expired();

  Clock::duration charged() const { return charged_; }
  Milliseconds charged_ms() const;
  // What is left of the budget for the rest of the game, the increments earned so far included
  // (0 once the time ran out).
  Clock::duration left() const { return std::max(budget() - charged_, Clock::duration::zero()); }

 private:
  Clock::duration budget() const { return limit_ + added_; }
  // What the answer now awaited may take: the rest of the budget, or the move limit.
  Clock::duration allowance() const;

  Clock::duration limit_;
  std::optional<Clock::duration> move_limit_;
  Clock::duration increment_;
  Clock::duration added_{};  // increments so far
  Clock::duration charged_{};
  std::optional<TimePoint> since_;
};

}  // namespace arena
