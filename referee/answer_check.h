// The checks of a player's answer against the board, in their fixed order.
#pragma once

#include "referee/board.h"

// Returns the disqualification message format of the first check that `antwoord` fails (each
// format takes the player's display name and the answer), or nullptr when the answer names a
// placement the rules allow: three characters, row letter, column letter, 'h' or 'v', the tile
// wholly on the board, at most 4 covered cells under it and an edge shared with a covered cell.
const char* eersteFout(const char* antwoord, const bitset396& bezet);
