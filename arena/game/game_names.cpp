#include "arena/game/game_names.h"

#include <unistd.h>

#include <atomic>
#include <ctime>

namespace arena {
namespace {

bool is_name_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

std::string quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text.substr(0, 60)) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7f) {
      static const char hex[] = "0123456789abcdef";
      out += "\\x";
      out += hex[u >> 4];
      out += hex[u & 15];
    } else {
      out += c;
    }
  }
  return out + (text.size() > 60 ? "...\"" : "\"");
}

}  // namespace

std::optional<std::string> player_name_problem(std::string_view name) {
  const std::string rule =
      ": a player name is 1 to 32 letters, digits or underscores, because it becomes part of "
      "the log file name <name1>-<name2>.<id>.log";
  if (name.empty()) return "empty player name" + rule;
  if (name.size() > kMaxNameLength) return "player name " + quoted(name) + " is too long" + rule;
  for (char c : name) {
    if (!is_name_char(c)) return "player name " + quoted(name) + " cannot be used" + rule;
  }
  return std::nullopt;
}

std::optional<std::string> game_id_problem(std::string_view id) {
  const std::string rule =
      ": a game id is 1 to 40 letters, digits, underscores or hyphens, because it becomes part "
      "of the log file name <name1>-<name2>.<id>.log";
  if (id.empty()) return "empty game id" + rule;
  if (id.size() > kMaxGameIdLength) return "game id " + quoted(id) + " is too long" + rule;
  for (char c : id) {
    if (!is_name_char(c) && c != '-') return "game id " + quoted(id) + " cannot be used" + rule;
  }
  return std::nullopt;
}

std::string name_from_program(std::string_view file_name) {
  std::string name(file_name.substr(0, kMaxNameLength));
  for (char& c : name) {
    if (!is_name_char(c)) c = '_';
  }
  return name.empty() ? "player" : name;
}

bool number_same_names(std::array<std::string, 2>& names) {
  if (names[0] != names[1]) return false;
  for (int i = 0; i < 2; ++i) {
    names[i] = names[i].substr(0, kMaxNameLength - 2) + "_" + std::to_string(i + 1);
  }
  return true;
}

std::string unique_game_id() {
  static std::atomic<unsigned> games{0};
  unsigned number = ++games;
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d_%H%M%S", &local);
  std::string id = std::string(stamp) + "_" + std::to_string(::getpid());
  if (number > 1) id += "_" + std::to_string(number);
  return id;
}

}  // namespace arena
