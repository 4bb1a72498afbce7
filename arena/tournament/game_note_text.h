// The arena's explanation of a disqualification as the results show it to everybody: the line
// the terminal shows and the arena's own explanation, in full, but never the end of the
// player's standard error nor the path of its error file, which are that entrant's alone.
#pragma once

#include <string>
#include <vector>

#include "arena/game/game_notes.h"

namespace arena::tournament {

// "NAME (player N) was disqualified: REASON in move M: MESSAGE", then each explanation line.
std::vector<std::string> note_lines(const DisqualificationNote& note);

// Every note of a game on one line, for a CSV cell: lines joined by "; ", notes by " | ".
std::string notes_line(const GameNotes& notes);

}  // namespace arena::tournament
