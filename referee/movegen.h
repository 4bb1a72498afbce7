// Legal placements of a tile, in the fixed order: horizontal anchors row by row, then vertical.
#pragma once

#include "referee/board.h"

constexpr int MAXZETTEN = 434;  // 225 horizontal + 209 vertical anchors

// Writes every legal placement of `tegel` (six digits) into zetten[0..] and returns the count.
// zetten must hold at least MAXZETTEN records.
int genereerzetten(const bitset396& bezet, move* zetten, const char* tegel);
