#include "arena/entry/entry_file.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "arena/entry/build_recipe.h"
#include "arena/process/shell_words.h"
#include "arena/system/atomic_file.h"
#include "arena/system/bounded_read.h"

namespace arena::entry {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxRecord = 64 * 1024;

}  // namespace

void write_entry_record(const fs::path& entry, const EntryRecord& record) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.2f", record.seconds);
  // The entry's directory is the entrant's to fill: the record is never written through a link
  // it may hold.
  replace_file(entry / kEntryFile, "command " + record.command + "\nrecipe " + record.recipe +
                                       "\nseconds " + seconds + "\nresult " + record.result + "\n");
}

std::optional<EntryRecord> read_entry_record(const fs::path& entry) {
  std::error_code error;
  if (!fs::is_regular_file(entry / kEntryFile, error)) return std::nullopt;
  EntryRecord record;
  std::istringstream lines(read_head(entry / kEntryFile, kMaxRecord));
  for (std::string line; std::getline(lines, line);) {
    auto space = line.find(' ');
    std::string key = line.substr(0, space);
    std::string value = space == std::string::npos ? "" : line.substr(space + 1);
    if (key == "command") record.command = value;
    if (key == "recipe") record.recipe = value;
    if (key == "seconds") record.seconds = std::atof(value.c_str());
    if (key == "result") record.result = value;
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
