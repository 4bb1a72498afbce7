// The file a build leaves in its entry, ENTRY/zarvo-entry.txt, and what reads it: the command
// line that plays the entry, the recipe, the time the build took and whether it succeeded, one
// "key value" line each:
//
//   command ./bot
//   recipe c++
//   seconds 3.42
//   result ok            (or: result failed: the compiler's exit status 1)
//   sources-shake256 HEX (see source_hash.h)
//
// In the command, a word "./FILE" (shell-quoted like every word) names a file of the entry, so
// the entry can be moved. The record holds these lines and nothing else; a record written
// before the sources line existed, without it, still reads.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace arena::entry {

inline constexpr std::string_view kEntryFile = "zarvo-entry.txt";
inline constexpr std::string_view kBuildLog = "zarvo-build.log";

struct EntryRecord {
  std::string command;
  std::string recipe;
  double seconds = 0;
  std::string result;   // "ok" or "failed: WHY"
  std::string sources;  // 64 hexadecimal digits; empty when not recorded

  bool ok() const { return result == "ok"; }
};

// Throws std::runtime_error for a command holding a control character (which would break the
// record's lines); such characters in the result are shown as '?'.
void write_entry_record(const std::filesystem::path& entry, const EntryRecord& record);

// The record of a built entry; nothing when `entry` holds none (it was never built). Throws
// std::runtime_error naming the line for a record that holds anything write_entry_record does
// not write: a second command (or any second key), a line of another key, a control character.
std::optional<EntryRecord> read_entry_record(const std::filesystem::path& entry);

// The command line that plays a built entry, its files given by absolute paths. Throws
// std::runtime_error when the entry was not built or its build failed.
std::string entry_command(const std::filesystem::path& entry);

// Whether `path` is a directory holding an entry's record.
bool is_entry(const std::filesystem::path& path);

// The entries directly below `dir` (each a directory holding a record), sorted by name.
std::vector<std::filesystem::path> entries_below(const std::filesystem::path& dir);

}  // namespace arena::entry
