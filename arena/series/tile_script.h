// The tile script of one pair of games: the two colours and every tile, drawn
// from SHAKE256 over the run's seed and the pair's number, so that each pair
// of a seeded tournament or SPRT test is reproducible on its own, wherever and
// in whatever order it is played (both games of a pair play the same script,
// the seats swapped).
#pragma once

#include <string>
#include <string_view>

namespace arena::series {

// A game lays at most about 40 tiles (each one covers at least 8 new cells of
// the 320), so 120 tiles after the starting tile never run short.
inline constexpr int kScriptTiles = 120;

// "C1 C2\n" (two different colours from 1 to 6), then the starting tile and
// kScriptTiles tiles, one six-digit permutation of 1 to 6 a line.
std::string derive_tile_script(std::string_view seed, int pair_number);

}  // namespace arena::series
