// The record of a game's turns that its replay page shows beside the board: the game's time
// limits; per player and turn, the thinking time charged, what was left of the budget after it
// and the lines the player wrote to standard error during that turn (bounded per turn and per
// game); and the disqualifications from the game log with their reason and the arena's note. It is
// a script, "<game>.turns.js" beside the log, that calls zarvoTurnRecord(DATA): a page opened from
// disk may load a script beside it but not fetch a file.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "arena/game/game_notes.h"
#include "arena/match/turn_log.h"

namespace arena {

// The limits the players' times were held against, as the page names them.
struct RecordedClock {
  bool cpu = false;          // the budget counts CPU time (--clock cpu), else thinking time
  Milliseconds limit{};      // per player and game
  Milliseconds increment{};  // added after each answer
  std::optional<Milliseconds> move_limit;
};

struct TurnRecordSource {
  RecordedClock clock;
  std::array<std::vector<Turn>, 2> turns;
  std::array<std::filesystem::path, 2> stderr_files;
  std::filesystem::path log;  // the game log, for the disqualifications
  GameNotes notes;            // why each disqualified player was put out
};

// The script's text.
std::string turn_record_script(const TurnRecordSource& source);

// The record `script` (as turn_record_script makes it) with the standard error of every player
// but `kept_player` (1 or 2; 0: of every player) left out, for those who may not read it.
// Throws std::invalid_argument when `script` is no turn record.
std::string turn_record_without_stderr(std::string_view script, int kept_player);

// Writes the script to `file`; false when it cannot be written.
bool write_turn_record(const std::filesystem::path& file, const TurnRecordSource& source);

}  // namespace arena
