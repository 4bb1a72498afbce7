// What the arena tells the user about a disqualified player once its game is over: why it was
// disqualified (the reason and the move, from the game log), what the arena saw of it (the
// memory limit, how its time ran out, the line it wrote), and the last lines of its standard
// error. Gathered into the game's notes (game_notes.h), from which the text is made.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "arena/game/game_notes.h"
#include "arena/game/logged_disqualifications.h"
#include "arena/game/printable_text.h"
#include "arena/match/match.h"

namespace arena {

// The last `count` lines of a text file (its last 64 KiB at most), each cut to `width`
// characters, control characters shown as '?'.
std::vector<std::string> last_lines(const std::filesystem::path& file, std::size_t count,
                                    std::size_t width);

// The notes of every disqualified player of a played game, in seat order; empty when nobody
// was disqualified.
GameNotes game_notes(const MatchResult& result);

// The text of the game's notes (result.notes), one block per disqualified player.
std::string disqualification_notes(const MatchResult& result);

}  // namespace arena
