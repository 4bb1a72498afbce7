// A logged game laid out again with the referee's own rules (referee/): the board after any
// number of its moves, each move checked as the referee checks an answer, so that a log whose
// moves the referee could never have laid is refused rather than drawn.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "arena/game/game_log.h"
#include "referee/board.h"

namespace arena {

// The board after the start tile and the first `moves` moves of `log` (at most all of them).
// Throws GameLogError naming the first move that does not fit the board it was laid on.
situatie board_after(const GameLog& log, std::size_t moves);

// Lays every move of `log` and holds the final points it records against the board's. Throws
// GameLogError at the first disagreement.
void check_game(const GameLog& log);

// read_game_log() and check_game(), whose errors then name `log` too.
GameLog read_checked_game_log(const std::filesystem::path& log);

// How many legal placements `tile` (six digits) has on `board`, by the referee's move generation.
int legal_places(const situatie& board, const std::string& tile);

}  // namespace arena
