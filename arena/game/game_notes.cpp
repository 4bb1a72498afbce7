#include "arena/game/game_notes.h"

#include <nlohmann/json.hpp>
#include <system_error>

#include "arena/game/game_outcome.h"
#include "arena/game/printable_text.h"
#include "arena/system/atomic_file.h"
#include "arena/system/bounded_read.h"

namespace arena {
namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// Far more than a game's notes ever take: a file this large is not one.
constexpr std::size_t kFileLimit = 256 * 1024;

std::string first_line(const DisqualificationNote& note) {
  std::string line =
      note.name + " (player " + std::to_string(note.seat) + ") was disqualified: " + note.reason;
  if (note.move) line += " in move " + std::to_string(*note.move) + ": " + note.message;
  return line;
}

json to_json(const DisqualificationNote& note) {
  json entry = {{"seat", note.seat},
                {"name", note.name},
                {"reason", note.reason},
                {"message", note.message},
                {"explanation", note.explanation},
                {"stderr_file", note.stderr_file.string()},
                {"stderr_tail", note.stderr_tail}};
  entry["move"] = note.move ? json(*note.move) : json(nullptr);
  return entry;
}

[[noreturn]] void malformed(const fs::path& file, std::string_view why) {
  throw GameNotesError(file.string() + " holds no game notes: " + std::string(why));
}

template <typename T>
T field(const json& entry, const char* key, const fs::path& file) {
  auto it = entry.find(key);
  if (it == entry.end()) malformed(file, std::string("no \"") + key + "\"");
  try {
    return it->get<T>();
  } catch (const json::exception&) {
    malformed(file, std::string("\"") + key + "\" has the wrong type");
  }
}

DisqualificationNote from_json(const json& entry, const fs::path& file) {
  if (!entry.is_object()) malformed(file, "a note is not an object");
  DisqualificationNote note;
  note.seat = field<int>(entry, "seat", file);
  if (note.seat != 1 && note.seat != 2) malformed(file, "a seat is neither 1 nor 2");
  note.name = field<std::string>(entry, "name", file);
  note.reason = field<std::string>(entry, "reason", file);
  if (!is_disqualification(note.reason)) malformed(file, "\"" + note.reason + "\" is no reason");
  const json move = field<json>(entry, "move", file);
  if (!move.is_null()) note.move = field<int>(entry, "move", file);
  note.message = field<std::string>(entry, "message", file);
  note.explanation = field<std::vector<std::string>>(entry, "explanation", file);
  note.stderr_file = field<std::string>(entry, "stderr_file", file);
  note.stderr_tail = field<std::vector<std::string>>(entry, "stderr_tail", file);
  if (entry.size() != 8) malformed(file, "a note has fields it should not have");
  return note;
}

}  // namespace

std::string notes_text(const GameNotes& notes) {
  std::string text;
  for (const DisqualificationNote& note : notes) {
    text += first_line(note) + "\n";
    for (const std::string& line : note.explanation) text += "  " + line + "\n";
    if (!note.stderr_tail.empty()) {
      text += "  the end of its standard error (" + note.stderr_file.string() + "):\n";
      for (const std::string& line : note.stderr_tail) text += "    " + line + "\n";
    }
  }
  return text;
}

std::vector<std::string> short_notes(const GameNotes& notes, std::string_view prefix,
                                     std::size_t width) {
  std::vector<std::string> lines;
  for (const DisqualificationNote& note : notes) {
    lines.push_back(printable(std::string(prefix) + first_line(note), width));
    // The end of the standard error stays in the player's error file.
    for (const std::string& line : note.explanation) lines.push_back(printable("  " + line, width));
  }
  return lines;
}

void write_game_notes(const fs::path& file, const GameNotes& notes) {
  std::error_code error;
  if (notes.empty()) {
    fs::remove(file, error);
    if (error) throw GameNotesError("cannot remove " + file.string() + ": " + error.message());
    return;
  }
  json list = json::array();
  for (const DisqualificationNote& note : notes) list.push_back(to_json(note));
  try {
    // A player's text need not be UTF-8: bytes that are not are written as U+FFFD.
    replace_file(file, json{{"disqualifications", list}}.dump(2, ' ', false,
                                                              json::error_handler_t::replace) +
                           "\n");
  } catch (const std::system_error& failure) {
    throw GameNotesError(failure.what());
  }
}

GameNotes read_game_notes(const fs::path& file) {
  std::error_code error;
  if (!fs::exists(file, error)) return {};
  std::string text = read_head(file, kFileLimit + 1);
  if (text.size() > kFileLimit) malformed(file, "it is too large");
  json document = json::parse(text, nullptr, false);
  if (document.is_discarded()) malformed(file, "it is not JSON");
  if (!document.is_object() || document.size() != 1) malformed(file, "it is not one object");
  const json list = field<json>(document, "disqualifications", file);
  if (!list.is_array()) malformed(file, "\"disqualifications\" is not a list");
  GameNotes notes;
  for (const json& entry : list) notes.push_back(from_json(entry, file));
  return notes;
}

}  // namespace arena
