// What the arena tells the user about a disqualified player once its game is over: why it was
// disqualified (the reason and the move, from the game log), the last lines of its standard
// error, and, for a time-out of a player that wrote nothing since its last answer, that output
// left unflushed in a buffer is the usual cause.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "arena/match/match.h"

namespace arena {

// One "Result: The Player N player has been disqualified in move M: MESSAGE" line of a log.
struct LoggedDisqualification {
  int player = 0;  // 1 or 2
  int move = 0;
  std::string message;
};

// The disqualifications a game log records, in order. Reads at most the first MiB.
std::vector<LoggedDisqualification> read_disqualifications(const std::filesystem::path& log);

// The result text of player 1 or 2 in the referee's description ("PLAYER_1:_TIMEOUT;_..."
// gives "TIMEOUT" for player 1); the last one when the referee set it twice.
std::string result_text(std::string_view description, int player);

// At most `width` characters of `text`, control characters shown as '?', and "..." when cut.
std::string printable(std::string_view text, std::size_t width);

// The last `count` lines of a text file (its last 64 KiB at most), each cut to `width`
// characters, control characters shown as '?'.
std::vector<std::string> last_lines(const std::filesystem::path& file, std::size_t count,
                                    std::size_t width);

// The notes of disqualified players in `text` (a match's standard error, which holds them among
// other lines), shortened for a tournament's terminal: each note's first line, prefixed with
// `game`, and its hints, without the end of the standard error; every line cut to `width`.
std::vector<std::string> short_notes(std::string_view text, std::string_view game,
                                     std::size_t width);

// The notes for every disqualified player of a played game, one block per player; empty when
// nobody was disqualified.
std::string disqualification_notes(const MatchResult& result);

}  // namespace arena
