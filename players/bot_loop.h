// The player side of a Zarvo game, shared by the sample bots: read the referee's lines, keep the
// board up to date, and ask the bot for a move whenever a tile arrives.
//
// What a player receives, one line each:
//   its colour ("3"), the start move ("Hh523146h"), "Start" (first player only),
//   a tile ("256143": the player answers with its move, e.g. "Gb" + "h" = "Gbh"),
//   the opponent's full move ("Gb256143h": row, column, tile, orientation), ..., "Quit".
// An answer is three characters: row letter A-P, column letter a-t, 'h' or 'v'.
#pragma once

#include <functional>
#include <string>

#include "referee/board.h"

struct BotView {
  situatie board;  // every tile laid so far, the start tile included
  int colour = 0;  // the colour this bot scores (1 to 6)
};

// Picks one of `moves[0 .. count-1]` (count >= 1), the legal placements of `tile`.
using ChooseMove = std::function<const move&(const BotView& view, const move* moves, int count)>;

// Plays until "Quit" or the end of input; returns the exit status for main().
int play_game(const ChooseMove& choose);

// The loop under play_game, for bots that write their answers themselves. For every tile,
// `answer` gets its legal placements (count >= 1); it writes the answer (flushed) and lays the
// bot's own move on view.board, which the referee does not send back. Returning false stops.
using AnswerTile = std::function<bool(BotView& view, const move* moves, int count)>;
int follow_game(const AnswerTile& answer);

// The three-character answer naming a placement, e.g. "Gbh".
std::string answer_text(const move& m);
