// Why the players of a played game were disqualified, as a record rather than as text: the
// match writes it beside the game's files ("<base>.notes.json", see GameFiles::notes), prints
// its text on the terminal, and a tournament, which runs each match as a child, reads it back
// for its own shorter lines. The file is small JSON, read strictly.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace arena {

struct DisqualificationNote {
  int seat = 0;  // 1 or 2
  std::string name;
  std::string reason;       // one of kDisqualificationReasons (game_outcome.h)
  std::optional<int> move;  // the move of the disqualification, when the log gives it
  std::string message;      // the referee's explanation in the log, printable
  // What the arena itself saw, one line each: the memory limit, how the time ran out, the line
  // the player wrote, the likely cause.
  std::vector<std::string> explanation;
  std::filesystem::path stderr_file;
  std::vector<std::string> stderr_tail;  // its last lines, printable; empty: it wrote none
};

// In seat order; empty when nobody was disqualified.
using GameNotes = std::vector<DisqualificationNote>;

// The notes as the terminal shows them, one block per player:
// "NAME (player N) was disqualified: REASON in move M: MESSAGE", the explanation indented by
// two spaces, then the end of the standard error.
std::string notes_text(const GameNotes& notes);

// The notes shortened for a tournament's terminal: each block's first line prefixed with
// `prefix`, then its explanation, without the end of the standard error; every line cut to
// `width`.
std::vector<std::string> short_notes(const GameNotes& notes, std::string_view prefix,
                                     std::size_t width);

// Thrown when a notes file cannot be written, or holds something other than notes.
struct GameNotesError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Replaces `file` in one step; with no notes the file is removed instead.
void write_game_notes(const std::filesystem::path& file, const GameNotes& notes);
// The notes of `file`; none when it does not exist.
GameNotes read_game_notes(const std::filesystem::path& file);

}  // namespace arena
