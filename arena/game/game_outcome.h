// Who won a game and why, by the one rule every view of a game uses (the result line, a
// tournament's results, standings, crosstable and pages): a disqualified player loses and its
// opponent wins; when both were disqualified nobody wins; otherwise the higher result value
// wins and equal values draw. The referee's own result texts stay as they are in the log (a
// player whose opponent was disqualified may be reported LOSE there, by points); this is the
// story told beside them.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace arena {

// The results by which the referee puts a player out of its game; any other result text is
// "WIN", "DRAW" or "LOSE".
inline constexpr std::array<std::string_view, 4> kDisqualificationReasons = {"ILLEGAL", "TIMEOUT",
                                                                             "CRASH", "EXIT"};

// The index of a disqualification reason in kDisqualificationReasons, or nothing for "WIN",
// "DRAW", "LOSE" and anything else.
std::optional<std::size_t> disqualification_index(std::string_view text);
bool is_disqualification(std::string_view text);

// The result texts of player 1 and 2 in the referee's description ("PLAYER_1:_WIN;_..."); a
// later entry for the same player counts, as the referee may set a result twice.
std::array<std::string, 2> result_texts(std::string_view description);

struct SideResult {
  std::string name;
  int value = 0;
  std::string text;                // "WIN", "DRAW", "LOSE", "ILLEGAL", "TIMEOUT", "CRASH", "EXIT"
  std::optional<int> out_in_move;  // the move of its disqualification, when the log says
};

struct GameOutcome {
  int winner = 0;     // 1 or 2; 0: a draw, or both disqualified
  bool draw = false;  // equal results, neither disqualified
  // Why, e.g. "evil disqualified: CRASH in move 10", "214 to 86", "150 to 150".
  std::string reason;

  std::array<double, 2> points() const;  // a win 1, a draw 1/2 each, a loss 0
  // "zarvo_greedy wins: evil disqualified: CRASH in move 10", "draw: 150 to 150",
  // "no winner: a disqualified: TIMEOUT in move 3; b disqualified: EXIT in move 4".
  std::string story(const std::array<SideResult, 2>& sides) const;
};

GameOutcome game_outcome(const std::array<SideResult, 2>& sides);

}  // namespace arena
