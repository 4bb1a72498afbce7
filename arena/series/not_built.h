// The entries that `--entries DIR` left out of a run because their build failed (or left no
// readable record), kept in the run's directory as not-built.json so that the standings and the
// published site, made later and elsewhere, can say who is missing and why.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace arena::series {

inline constexpr std::string_view kNotBuiltFile = "not-built.json";

struct NotBuiltEntry {
  std::string name;             // the entry's directory name, as it would have played
  std::string reason;           // the build's result ("failed: ..."), or why it has none
  std::filesystem::path entry;  // the entry's directory on the organiser's machine
};

// Replaces DIR/not-built.json in one step. Throws std::system_error when it cannot be written.
void write_not_built(const std::filesystem::path& dir, const std::vector<NotBuiltEntry>& entries);

// The entries DIR/not-built.json names; none when there is no such file or it cannot be read
// (it only adds to the results, so a damaged one must not stop them).
std::vector<NotBuiltEntry> read_not_built(const std::filesystem::path& dir);

}  // namespace arena::series
