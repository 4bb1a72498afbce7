// The seat a person plays at play-human's page: the game's thread hands it the referee's lines
// and waits in answer() for the person's move, which the page's threads hand in with play().
// It refuses, with a reason the page shows, every move the person cannot have meant: one that
// is no move at all, one made while it is not their turn, one the rules do not allow; so the
// referee only ever sees a legal move the person chose. The person's clock is off unless a time
// limit is given, which then holds them as it holds a program.
#pragma once

#include <array>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "arena/human/person_view.h"
#include "arena/match/player_clock.h"
#include "arena/match/seat.h"

namespace arena::human {

struct PersonSetup {
  int seat = 1;                      // 1 moves first
  std::array<std::string, 2> names;  // of seats 1 and 2
  std::filesystem::path log;         // the game log, for the colours of both seats
  // The limits of the person's thinking time; none: the clock is off.
  std::optional<PlayerClock> clock;
};

// Why a move handed in was not played.
struct MoveRefusal {
  enum class Kind { kMalformed, kNotYourTurn, kNotLegal };
  Kind kind;
  std::string message;
};

// How the game ended, for the page.
struct GameEnd {
  std::string result_line;  // as `match` prints it; empty when the game failed
  std::string winner;       // a name, or "-" for nobody
  std::array<int, 2> results{};
  std::string description;  // the referee's
  std::string failure;      // why the game did not finish; empty when it did
  std::string replay;       // the address of the replay page; empty: none
};

class PersonSeat : public Seat {
 public:
  explicit PersonSeat(PersonSetup setup);

  // The game's side.
  void send(std::string_view text) override;
  PlayerAnswer answer(TimePoint game_deadline) override;
  PlayerTimes times() const override;
  const std::vector<Turn>& turns() const override { return turns_.turns(); }

  // The page's side, from any thread. Plays `answer` for the person, or says why not.
  std::optional<MoveRefusal> play(std::string_view answer);
  // The game as the page shows it, as JSON, with `version`: it changes with every change.
  std::string state_json();
  // Waits until the version is no longer `seen`, `until` passes, or close() was called.
  void wait_for_change(long long seen, TimePoint until);
  // The game is over.
  void finish(GameEnd end);
  // The page has shown the result since the game ended.
  bool result_shown() const;
  // Wakes every wait; the page is being closed.
  void close();

 private:
  void changed();  // with the lock held

  mutable std::mutex mutex_;
  std::condition_variable change_;
  const PersonSetup setup_;
  PersonView view_;
  PlayerClock clock_;
  TurnLog turns_{std::filesystem::path()};
  std::optional<std::string> handed_in_;    // the person's answer, not yet passed on
  std::optional<PlayerAnswer::Kind> gone_;  // the seat's time ran out, or the game is stopping
  std::optional<GameEnd> end_;
  std::string notice_;
  long long version_ = 0;
  bool result_shown_ = false;
  bool closed_ = false;
};

}  // namespace arena::human
