#include "arena/tournament/game_note_text.h"

#include <cstdint>

namespace arena::tournament {

std::vector<std::string> note_lines(const DisqualificationNote& note) {
  // The terminal's short form holds exactly what may be shown: no standard error.
  std::vector<std::string> lines = short_notes({note}, "", SIZE_MAX);
  for (std::string& line : lines) line.erase(0, line.find_first_not_of(' '));
  return lines;
}

std::string notes_line(const GameNotes& notes) {
  std::string text;
  for (const DisqualificationNote& note : notes) {
    if (!text.empty()) text += " | ";
    std::vector<std::string> lines = note_lines(note);
    for (std::size_t i = 0; i < lines.size(); ++i) text += (i ? "; " : "") + lines[i];
  }
  return text;
}

}  // namespace arena::tournament
