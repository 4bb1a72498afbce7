#include "arena/match/disqualification_notes.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string_view>

#include "arena/system/bounded_read.h"

namespace arena {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kLogLimit = 1 << 20;
constexpr std::size_t kErrorTail = 64 * 1024;
constexpr std::size_t kShownLines = 5;
constexpr std::size_t kShownWidth = 160;

bool take_int(std::string_view& text, int& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data()) return false;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return true;
}

bool take(std::string_view& text, std::string_view prefix) {
  if (!text.starts_with(prefix)) return false;
  text.remove_prefix(prefix.size());
  return true;
}

// "Result: The Player N player has been disqualified in move M: MESSAGE"
std::optional<LoggedDisqualification> parse_line(std::string_view line) {
  LoggedDisqualification entry;
  if (!take(line, "Result: The Player ") || !take_int(line, entry.player) ||
      !take(line, " player has been disqualified in move ") || !take_int(line, entry.move) ||
      !take(line, ": ")) {
    return std::nullopt;
  }
  entry.message = std::string(line);
  return entry;
}

std::string seconds(Milliseconds time) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", static_cast<double>(time.count()) / 1000);
  return text;
}

// A line of the shape of a move, right or wrong: three letters (row, column, orientation).
bool looks_like_move(std::string_view line) {
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
    line.remove_suffix(1);
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  return line.size() == 3 && std::all_of(line.begin(), line.end(), letter);
}

// How the time ran out: the time used against the limit, then the likely cause.
std::string timeout_note(const MatchResult& result, const PlayerRecord& record) {
  const TimeoutDetail detail = record.timeout.value_or(TimeoutDetail{});
  std::string note;
  if (detail.by_cpu) {
    note = "  it used " + seconds(record.cpu) + " of CPU time, its limit is " +
           seconds(result.time_limit) + " (--clock cpu)\n";
  } else {
    const Milliseconds limit =
        result.clock == TimeClock::kCpu ? result.wall_limit : result.time_limit;
    note = "  it was charged " + seconds(record.charged) + " of thinking time, its limit is " +
           seconds(limit) + (result.clock == TimeClock::kCpu ? " (--wall-limit)" : "") + "\n";
  }
  if (record.unfinished_output && !record.unfinished_output->empty()) {
    return note + "  it wrote \"" + printable(*record.unfinished_output, 60) +
           "\" but never ended the line: end every answer with a newline and flush it\n";
  }
  if (detail.busy) {
    return note +
           "  it was still computing when its time ran out: a slow answer, not a lost one; "
           "spend less time per move (the limit holds for the whole game)\n";
  }
  return note +
         "  it wrote nothing since the last line it was sent and sat idle: an answer left in the "
         "output buffer is the usual cause; end every answer with a newline and flush it at once\n";
}

// The line the player wrote, and what standard output is for when that line is no move at all.
std::string illegal_note(const PlayerRecord& record) {
  std::string note = "  it wrote \"" + printable(record.last_line, kKeptAnswer) + "\"\n";
  if (!looks_like_move(record.last_line)) {
    note +=
        "  that is not a move (row letter, column letter, h or v, e.g. Gbh): standard output "
        "carries answers only, one line per move; write debug output to standard error\n";
  }
  return note;
}

}  // namespace

std::string result_text(std::string_view description, int player) {
  std::string key = "PLAYER_" + std::to_string(player) + ":_";
  std::string_view text;
  // The referee may set a player's result twice; the last entry counts.
  for (auto at = description.find(key); at != std::string_view::npos;
       at = description.find(key, at + 1)) {
    text = description.substr(at + key.size());
    text = text.substr(0, text.find(';'));
  }
  return std::string(text);
}

std::string printable(std::string_view text, std::size_t width) {
  std::string out;
  for (char c : text.substr(0, width)) {
    unsigned char u = static_cast<unsigned char>(c);
    out += u < 0x20 || u == 0x7f ? '?' : c;
  }
  if (text.size() > width) out += "...";
  return out;
}

std::vector<LoggedDisqualification> read_disqualifications(const fs::path& log) {
  std::vector<LoggedDisqualification> found;
  std::string text = read_head(log, kLogLimit);
  std::string_view rest = text;
  while (!rest.empty()) {
    std::string_view line = take_line(rest);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (auto entry = parse_line(line)) found.push_back(std::move(*entry));
  }
  return found;
}

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

std::vector<std::string> short_notes(std::string_view text, std::string_view game,
                                     std::size_t width) {
  std::vector<std::string> notes;
  bool in_note = false;
  while (!text.empty()) {
    auto newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
    if (line.find(") was disqualified: ") != std::string_view::npos && !line.starts_with(" ")) {
      in_note = true;
      notes.push_back(printable(std::string(game) + std::string(line), width));
    } else if (in_note && line.starts_with("  ") && !line.starts_with("   ")) {
      // The hints; the end of the standard error stays in the player's error file.
      if (!line.starts_with("  the end of its standard error"))
        notes.push_back(printable(line, width));
    } else {
      in_note = false;
    }
  }
  return notes;
}

std::string disqualification_notes(const MatchResult& result) {
  std::string notes;
  std::vector<LoggedDisqualification> logged = read_disqualifications(result.log);
  for (int player = 1; player <= 2; ++player) {
    const PlayerRecord& record = result.players[player - 1];
    std::string reason = result_text(result.description, player);
    if (reason != "ILLEGAL" && reason != "TIMEOUT" && reason != "CRASH" && reason != "EXIT") {
      continue;
    }
    notes += record.name + " (player " + std::to_string(player) + ") was disqualified: " + reason;
    for (const auto& entry : logged) {
      if (entry.player == player) {
        notes += " in move " + std::to_string(entry.move) + ": " + printable(entry.message, 200);
        break;
      }
    }
    notes += "\n";
    if (record.memory_killed) notes += "  the memory limit killed it\n";
    if (reason == "TIMEOUT" && record.timeout) notes += timeout_note(result, record);
    if (reason == "ILLEGAL") notes += illegal_note(record);
    std::vector<std::string> lines = last_lines(record.stderr_file, kShownLines, kShownWidth);
    if (!lines.empty()) {
      notes += "  the end of its standard error (" + record.stderr_file.string() + "):\n";
      for (const auto& line : lines) notes += "    " + line + "\n";
    }
  }
  return notes;
}

}  // namespace arena
