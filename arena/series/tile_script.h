// The tile script of one tournament game: the two colours and every tile, drawn
// from SHAKE256 over the tournament's seed and the game number, so that each
// game of a seeded tournament is reproducible on its own, wherever and in
// whatever order it is played.
#pragma once

#include <string>
#include <string_view>

namespace arena::tournament {

// A game lays at most about 40 tiles (each one covers at least 8 new cells of
// the 320), so 120 tiles after the starting tile never run short.
inline constexpr int kScriptTiles = 120;

// "C1 C2\n" (two different colours from 1 to 6), then the starting tile and
// kScriptTiles tiles, one six-digit permutation of 1 to 6 a line.
std::string derive_tile_script(std::string_view seed, int game_number);

}  // namespace arena::tournament
