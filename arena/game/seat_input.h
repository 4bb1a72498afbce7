// What one seat of a logged game received from the referee and answered, rebuilt from the log
// alone: the lines in the order the referee sent them (its colour, the start move, "Start" for
// player 1, each tile it was to place, each of the opponent's moves, "Quit"), and at each of its
// turns the answer the game recorded. A disqualified seat heard nothing more after its
// disqualification but the "Quit" lines, as in the game.
#pragma once

#include <string>
#include <vector>

#include "arena/game/game_log.h"

namespace arena {

struct SeatEvent {
  enum class Kind {
    kLine,    // the referee sent `text`
    kAnswer,  // the seat answered `text` (empty when it gave no answer: see `lost`)
  };
  Kind kind = Kind::kLine;
  // The move the event belongs to: 0 for the start, the move's number for its tile, its answer
  // and (for the opponent's move) its text, one past the last move for the closing "Quit".
  int move = 0;
  std::string text;
  // kAnswer: "TIMEOUT", "CRASH" or "EXIT" when the seat lost this move giving no answer.
  std::string lost;
};

struct SeatInput {
  std::vector<SeatEvent> events;
  // Why the events stop short of the game's end, or empty: the log does not record the tile of
  // the move in which the game ended with a second disqualification.
  std::string cut_short;
};

// The events of seat 1 or 2 of a finished game (log.finished()).
SeatInput seat_input(const GameLog& log, int seat);

}  // namespace arena
