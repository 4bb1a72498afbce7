// A board drawn for the terminal: 16 rows A-P by 20 columns a-t, three characters a cell, 62
// columns in all. With colour, each cell shows its colour digit on that colour's background (ANSI
// escapes); without, the digit alone, "." for an empty cell. The cells of one move can be marked:
// in brackets, or underlined and bold with colour.
#pragma once

#include <string>

#include "referee/board.h"

namespace arena::cli {

// Whether standard output takes colours: a terminal, TERM set and not "dumb", NO_COLOR unset.
bool stdout_takes_colour();

// The board, one line a row under a line of column letters. `marked` is the move whose cells are
// marked (its full move text), or empty.
std::string board_picture(const situatie& board, const std::string& marked, bool colour);

// One colour as the picture shows it, for a legend: " 3 " on its background, or "3".
std::string colour_swatch(int colour, bool colour_on);

}  // namespace arena::cli
