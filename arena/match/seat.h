// A seat of a game as the referee protocol sees it: it is sent the lines the referee addresses
// to it and asked for its answers, and it keeps its thinking time. A player program (Player) is
// one kind; a seat the caller plays itself (a person at play-human's page) is another, so that
// every game, whoever sits in its seats, runs through the same match and protocol code.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "arena/match/turn_log.h"
#include "arena/system/deadline.h"

namespace arena {

// What became of one wait for a seat's answer.
struct PlayerAnswer {
  enum class Kind {
    kLine,          // the player wrote a line (`line`, without its newline)
    kTimedOut,      // its thinking time ran out; it has been killed
    kCrashed,       // it was ended by a signal or exited with a non-zero status
    kExited,        // it exited with status 0, or closed its output, before answering
    kGameTimedOut,  // the game's deadline passed while the player still had time
  };
  Kind kind;
  std::string line;
};

// A player's time over the game so far.
struct PlayerTimes {
  Milliseconds real;  // the thinking time charged
  Milliseconds used;  // the CPU time it used
};

class Seat {
 public:
  virtual ~Seat() = default;

  // Passes one line on (the newline is added). A seat that has stopped reading or has gone
  // loses the line; it can never hold up the game.
  virtual void send(std::string_view text) = 0;

  // Waits for the seat's next line until its time or `game_deadline` runs out. Once the seat
  // has timed out, crashed or exited, every later call gives the same answer at once.
  virtual PlayerAnswer answer(TimePoint game_deadline) = 0;

  virtual PlayerTimes times() const = 0;

  // Every turn the seat was awaited, in order.
  virtual const std::vector<Turn>& turns() const = 0;
};

}  // namespace arena
