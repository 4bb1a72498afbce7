// Building one entry from its sources, in a sandbox of the kind players get: no network, the
// system directories read-only, a copy of the entry writable at the entry's own path, nothing
// else of the host visible, within a time limit, a memory limit and a limit on all it writes.
// A root arena builds as the unprivileged build user, in a scratch area no other user sees
// (scratch_mount.h); the entry's own files are never given to that user. What a successful
// build made is copied back into the entry, made harmless on the way (see entry_copy.h); the
// record is written into the entry (see entry_file.h), with the build's output as
// ENTRY/zarvo-build.log, both by the arena itself.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "arena/entry/build_recipe.h"
#include "arena/entry/entry_file.h"
#include "arena/system/deadline.h"

namespace arena::entry {

struct BuildLimits {
  Clock::duration time = std::chrono::seconds(120);  // wall time of the whole build
  std::size_t memory_mb = 2048;                      // resident memory of the build's tree
  std::size_t processes = 256;                       // processes and threads of the tree
  // Everything the build keeps, its sources included, and the largest file it may write.
  std::size_t file_mb = 512;
};

// What the organiser adds to every build's sandbox (build --ro-dir, --env): a compiler installed
// outside the system directories, and the PATH or variables it needs. An entry's recipe sets its
// own variables after these.
struct BuildSandbox {
  std::vector<std::filesystem::path> readonly_dirs;
  std::vector<std::pair<std::string, std::string>> env;  // PATH among them replaces the fixed one
};

struct BuildOutcome {
  std::filesystem::path entry;
  EntryRecord record;
  // The last lines of the build's output, for a failed build.
  std::vector<std::string> output_tail;
};

// Builds `entry` (a directory). `launcher` is the java-launcher a Java entry is played through.
// Never throws for a fault of the entry: the outcome says what failed.
BuildOutcome build_entry(const std::filesystem::path& entry, const BuildLimits& limits,
                         const std::filesystem::path& launcher, const BuildSandbox& shown = {});

}  // namespace arena::entry
