#include "arena/entry/entry_file.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <set>
#include <span>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "arena/entry/build_recipe.h"
#include "arena/match/disqualification_notes.h"
#include "arena/process/shell_words.h"
#include "arena/system/atomic_file.h"
#include "arena/system/bounded_read.h"

namespace arena::entry {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxRecord = 64 * 1024;

// The lines of a record, in the order write_entry_record writes them; all but the last are
// required.
constexpr std::array<std::string_view, 5> kKeys = {"command", "recipe", "seconds", "result",
                                                   "sources-shake256"};
constexpr std::size_t kRequiredKeys = 4;

bool is_hex_digest(std::string_view text) {
  return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

}  // namespace

void write_entry_record(const fs::path& entry, const EntryRecord& record) {
  // The record is read line by line: a value holding a line break would add a line to it.
  if (has_control_character(record.command)) {
    throw std::runtime_error("the command " + printable(record.command, 200) +
                             " holds a control character");
  }
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.2f", record.seconds);
  // The entry's directory is the entrant's to fill: the record is never written through a link
  // it may hold.
  replace_file(entry / kEntryFile,
               "command " + record.command + "\nrecipe " + record.recipe + "\nseconds " + seconds +
                   "\nresult " + printable(record.result, record.result.size()) + "\n" +
                   (is_hex_digest(record.sources) ? "sources-shake256 " + record.sources + "\n"
                                                  : std::string()));
}

std::optional<EntryRecord> read_entry_record(const fs::path& entry) {
  std::error_code error;
  const fs::path file = entry / kEntryFile;
  if (!fs::is_regular_file(file, error)) return std::nullopt;
  // Only what write_entry_record writes is accepted, so that a record planted or changed by the
  // entrant cannot slip a command of its own past the one the build chose.
  auto refuse = [&](std::size_t number, std::string_view line, std::string_view why) {
    return std::runtime_error(file.string() + ", line " + std::to_string(number) + " \"" +
                              printable(line, 200) + "\": " + std::string(why) +
                              "; build the entry again (zarvo-arena build " + entry.string() + ")");
  };
  EntryRecord record;
  std::set<std::string, std::less<>> seen;
  const std::string text = read_head(file, kMaxRecord);
  std::string_view rest = text;
  for (std::size_t number = 1; !rest.empty(); ++number) {
    std::string_view line = take_line(rest);
    auto space = line.find(' ');
    std::string_view key = line.substr(0, space);
    if (space == std::string_view::npos ||
        std::find(kKeys.begin(), kKeys.end(), key) == kKeys.end()) {
      throw refuse(number, line, "not a line of a build's record");
    }
    if (has_control_character(line)) throw refuse(number, line, "holds a control character");
    if (!seen.emplace(key).second)
      throw refuse(number, line, "a second " + std::string(key) + " line");
    std::string value(line.substr(space + 1));
    if (key == "command") {
      try {
        split_shell_words(value);
      } catch (const std::invalid_argument& error) {
        throw refuse(number, line, "not a command line: " + std::string(error.what()));
      }
      record.command = value;
    }
    if (key == "recipe") record.recipe = value;
    if (key == "seconds") record.seconds = std::atof(value.c_str());
    if (key == "result") record.result = value;
    if (key == kKeys[4]) {
      if (!is_hex_digest(value)) throw refuse(number, line, "not 64 hexadecimal digits");
      record.sources = value;
    }
  }
  for (std::string_view key : std::span(kKeys).first(kRequiredKeys)) {
    if (!seen.contains(key)) {
      throw std::runtime_error(file.string() + " has no " + std::string(key) +
                               " line; build the entry again (zarvo-arena build " + entry.string() +
                               ")");
    }
  }
  return record;
}

std::string entry_command(const fs::path& entry) {
  std::optional<EntryRecord> record = read_entry_record(entry);
  if (!record) {
    throw std::runtime_error(entry.string() + " is not a built entry (no " +
                             std::string(kEntryFile) + "; zarvo-arena build " + entry.string() +
                             ")");
  }
  if (!record->ok()) {
    throw std::runtime_error("the build of " + entry.string() + " " + record->result);
  }
  std::vector<std::string> words = split_shell_words(record->command);
  if (words.empty()) throw std::runtime_error(entry.string() + ": its record names no command");
  const fs::path root = fs::absolute(entry).lexically_normal();
  std::string command;
  for (const std::string& word : words) {
    std::string resolved = word.starts_with("./") ? (root / word.substr(2)).string() : word;
    command += (command.empty() ? "" : " ") + shell_quote(resolved);
  }
  return command;
}

bool is_entry(const fs::path& path) {
  std::error_code error;
  return fs::is_directory(path, error) && fs::is_regular_file(path / kEntryFile, error);
}

std::vector<fs::path> entries_below(const fs::path& dir) {
  std::error_code error;
  if (!fs::is_directory(dir, error)) throw std::runtime_error(dir.string() + " is not a directory");
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
    if (is_entry(it->path())) entries.push_back(it->path());
  }
  if (error) throw std::runtime_error("cannot list " + dir.string() + ": " + error.message());
  std::sort(entries.begin(), entries.end());
  return entries;
}

}  // namespace arena::entry
