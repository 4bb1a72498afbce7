#include "arena/game/game_board.h"

#include <algorithm>
#include <array>

#include "referee/answer_check.h"
#include "referee/movegen.h"
#include "referee/scoring.h"

namespace arena {
namespace {

move move_of(const std::string& text) {
  move laid{};
  laid.rij = text[0] - 'A' + 1;
  laid.kolom = text[1] - 'a' + 1;
  std::copy_n(text.begin() + 2, 7, laid.tekst);
  return laid;
}

}  // namespace

situatie board_after(const GameLog& log, std::size_t moves) {
  situatie board{};
  init(board);
  move start = move_of(log.start_move);
  plaats(board, start);
  moves = std::min(moves, log.moves.size());
  for (std::size_t i = 0; i < moves; ++i) {
    const LoggedMove& logged = log.moves[i];
    const std::string answer = logged.answer();
    if (eersteFout(answer.c_str(), board.bezet) != nullptr) {
      throw GameLogError("move " + std::to_string(i + 1) + " (" + logged.text +
                         ") is no legal placement on the board it was laid on: the log was "
                         "altered or belongs to another game");
    }
    move laid = move_of(logged.text);
    plaats(board, laid);
  }
  return board;
}

void check_game(const GameLog& log) {
  const situatie board = board_after(log, log.moves.size());
  if (!log.points) return;
  const std::array<int, 2> counted = {telpunten(board.bord, log.colours[0]),
                                      telpunten(board.bord, log.colours[1])};
  if (counted != *log.points) {
    throw GameLogError("the log gives the points " + std::to_string(log.points->at(0)) + " and " +
                       std::to_string(log.points->at(1)) + ", its board " +
                       std::to_string(counted[0]) + " and " + std::to_string(counted[1]) +
                       ": the log was altered");
  }
}

GameLog read_checked_game_log(const std::filesystem::path& log) {
  GameLog game = read_game_log(log);
  try {
    check_game(game);
  } catch (const GameLogError& error) {
    throw GameLogError(log.string() + ": " + error.what());
  }
  return game;
}

int legal_places(const situatie& board, const std::string& tile) {
  std::array<move, MAXZETTEN> places{};
  return genereerzetten(board.bezet, places.data(), tile.c_str());
}

}  // namespace arena
