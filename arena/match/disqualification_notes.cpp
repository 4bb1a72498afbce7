#include "arena/match/disqualification_notes.h"

#include <algorithm>
#include <string_view>

#include "arena/game/game_outcome.h"
#include "arena/match/timeout_explanation.h"
#include "arena/system/bounded_read.h"

namespace arena {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kErrorTail = 64 * 1024;
constexpr std::size_t kShownLines = 5;
constexpr std::size_t kShownWidth = 160;
constexpr std::size_t kShownMessage = 200;

// A line of the shape of a move, right or wrong: three letters (row, column, orientation).
bool looks_like_move(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
    line.remove_suffix(1);
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  return line.size() == 3 && std::all_of(line.begin(), line.end(), letter);
}

// The line the player wrote, and what standard output is for when that line is no move at all.
std::vector<std::string> illegal_explanation(const PlayerRecord& record) {
  std::vector<std::string> lines = {"it wrote \"" + printable(record.last_line, kKeptAnswer) +
                                    "\""};
  if (!looks_like_move(record.last_line)) {
    lines.push_back(
        "that is not a move (row letter, column letter, h or v, e.g. Gbh): standard output "
        "carries answers only, one line per move; write debug output to standard error");
  }
  return lines;
}

}  // namespace

std::vector<std::string> last_lines(const fs::path& file, std::size_t count, std::size_t width) {
  std::string text = read_tail(file, kErrorTail);
  std::vector<std::string> lines;
  std::string_view rest = text;
  while (!rest.empty() && rest.back() == '\n') rest.remove_suffix(1);
  while (!rest.empty() && lines.size() < count) {
    auto newline = rest.rfind('\n');
    std::string_view line = newline == std::string_view::npos ? rest : rest.substr(newline + 1);
    lines.insert(lines.begin(), printable(line, width));
    rest = newline == std::string_view::npos ? std::string_view() : rest.substr(0, newline);
  }
  return lines;
}

GameNotes game_notes(const MatchResult& result) {
  GameNotes notes;
  const std::vector<LoggedDisqualification> logged = read_disqualifications(result.log);
  const std::array<std::string, 2> texts = result_texts(result.description);
  for (int seat = 1; seat <= 2; ++seat) {
    const PlayerRecord& record = result.players[seat - 1];
    const std::string& reason = texts[seat - 1];
    if (!is_disqualification(reason)) continue;
    DisqualificationNote note;
    note.seat = seat;
    note.name = record.name;
    note.reason = reason;
    // The first disqualification of a player is the one that counted.
    for (const auto& entry : logged) {
      if (entry.player == seat) {
        note.move = entry.move;
        note.message = printable(entry.message, kShownMessage);
        break;
      }
    }
    if (record.memory_killed) note.explanation.push_back("the memory limit killed it");
    std::vector<std::string> why;
    if (reason == "TIMEOUT" && record.timeout) {
      why = timeout_explanation(*record.timeout, result.clock == TimeClock::kCpu,
                                record.unfinished_output);
    }
    if (reason == "ILLEGAL") why = illegal_explanation(record);
    note.explanation.insert(note.explanation.end(), why.begin(), why.end());
    note.stderr_file = record.stderr_file;
    note.stderr_tail = last_lines(record.stderr_file, kShownLines, kShownWidth);
    notes.push_back(std::move(note));
  }
  return notes;
}

std::string disqualification_notes(const MatchResult& result) { return notes_text(result.notes); }

}  // namespace arena
