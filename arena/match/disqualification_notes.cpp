#include "arena/match/disqualification_notes.h"

#include <charconv>
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

std::string shown(std::string_view text, std::size_t width) {
  std::string out;
  for (char c : text.substr(0, width)) {
    unsigned char u = static_cast<unsigned char>(c);
    out += u < 0x20 || u == 0x7f ? '?' : c;
  }
  if (text.size() > width) out += "...";
  return out;
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

std::vector<LoggedDisqualification> read_disqualifications(const fs::path& log) {
  std::vector<LoggedDisqualification> found;
  std::string text = read_head(log, kLogLimit);
  std::string_view rest = text;
  while (!rest.empty()) {
    auto newline = rest.find('\n');
    std::string_view line = rest.substr(0, newline);
    rest = newline == std::string_view::npos ? std::string_view() : rest.substr(newline + 1);
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
    lines.insert(lines.begin(), shown(line, width));
    rest = newline == std::string_view::npos ? std::string_view() : rest.substr(0, newline);
  }
  return lines;
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
        notes += " in move " + std::to_string(entry.move) + ": " + shown(entry.message, 200);
        break;
      }
    }
    notes += "\n";
    if (record.memory_killed) notes += "  the memory limit killed it\n";
    if (reason == "TIMEOUT" && record.unfinished_output) {
      if (record.unfinished_output->empty()) {
        notes +=
            "  it wrote nothing since its last answer: an answer left in the output buffer "
            "is the usual cause; end every answer with a newline and flush it at once\n";
      } else {
        notes += "  it wrote \"" + shown(*record.unfinished_output, 60) +
                 "\" but never ended the line: end every answer with a newline and flush it\n";
      }
    }
    std::vector<std::string> lines = last_lines(record.stderr_file, kShownLines, kShownWidth);
    if (!lines.empty()) {
      notes += "  the end of its standard error (" + record.stderr_file.string() + "):\n";
      for (const auto& line : lines) notes += "    " + line + "\n";
    }
  }
  return notes;
}

}  // namespace arena
