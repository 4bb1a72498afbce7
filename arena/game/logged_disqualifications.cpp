#include "arena/game/logged_disqualifications.h"

#include <charconv>
#include <optional>
#include <string_view>

#include "arena/system/bounded_read.h"

namespace arena {
namespace {

constexpr std::size_t kLogLimit = 1 << 20;

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

}  // namespace

std::optional<LoggedDisqualification> parse_disqualification(std::string_view line) {
  LoggedDisqualification entry;
  if (!take(line, "Result: The Player ") || !take_int(line, entry.player) ||
      !take(line, " player has been disqualified in move ") || !take_int(line, entry.move) ||
      !take(line, ": ")) {
    return std::nullopt;
  }
  entry.message = std::string(line);
  return entry;
}

std::vector<LoggedDisqualification> read_disqualifications(const std::filesystem::path& log) {
  std::vector<LoggedDisqualification> found;
  std::string text = read_head(log, kLogLimit);
  std::string_view rest = text;
  while (!rest.empty()) {
    std::string_view line = take_line(rest);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (auto entry = parse_disqualification(line)) found.push_back(std::move(*entry));
  }
  return found;
}

}  // namespace arena
