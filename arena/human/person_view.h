// What the person in a seat knows of the game, read from the lines the referee sends that seat:
// their colour, every tile laid so far, the tile they are to place with its legal places, and
// the points. The board is the referee's own record (referee/board.h), and the legal places and
// the points come from its move generation and scoring, so that nothing here judges a move by
// rules of its own.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "referee/board.h"

namespace arena::human {

class PersonView {
 public:
  // `seat`: 1 moves first, 2 second.
  explicit PersonView(int seat);

  // A line the referee sent the seat, without its newline. A line that is not of the game's
  // player protocol changes nothing.
  void received(std::string_view line);

  // An answer ("Fch": row letter, column letter, h or v) as the person gave it: well formed,
  // whether or not the tile may lie there.
  static bool well_formed(std::string_view answer);

  // A tile is waiting to be placed.
  bool awaiting() const { return !tile_.empty(); }
  const std::string& tile() const { return tile_; }
  // The answers that place the waiting tile legally, in the referee's order.
  const std::vector<std::string>& legal() const { return legal_; }
  bool is_legal(std::string_view answer) const;
  // Lays the waiting tile at a legal place; it is no longer waiting.
  void place(std::string_view answer);

  int seat() const { return seat_; }
  // Every move laid, as its full text, the referee's start move first.
  const std::vector<std::string>& moves() const { return moves_; }
  // The colours of seats 1 and 2, 0 where not known: a seat is told only its own.
  const std::array<int, 2>& colours() const { return colours_; }
  // Both colours as the game log names them ("Colours: 3, 1").
  void set_colours(std::array<int, 2> colours) { colours_ = colours; }
  // The points of seats 1 and 2 on the board as it lies (none for a colour not known).
  std::array<std::optional<int>, 2> points() const;
  // The referee said "Quit".
  bool quit() const { return quit_; }

 private:
  void lay(std::string_view full_move);

  int seat_;
  situatie board_{};
  std::array<int, 2> colours_{};
  std::vector<std::string> moves_;
  std::string tile_;
  std::vector<std::string> legal_;
  int lines_ = 0;
  bool quit_ = false;
};

// The colours of seats 1 and 2 from the start of a game log (its "Colours: A, B" line).
std::optional<std::array<int, 2>> logged_colours(std::string_view log_head);

}  // namespace arena::human
