// Building one entry from its sources, in a sandbox of the kind players get: no network, the
// system directories read-only, the entry's own directory writable (and, when the arena runs as
// root, given to the unprivileged build user first), nothing else of the host visible, within a
// time limit and a memory limit. The result is written into the entry (see entry_file.h), with
// the build's output as ENTRY/zarvo-build.log.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "arena/entry/build_recipe.h"
#include "arena/entry/entry_file.h"
#include "arena/system/deadline.h"

namespace arena::entry {

struct BuildLimits {
  Clock::duration time = std::chrono::seconds(120);  // wall time of the whole build
  std::size_t memory_mb = 2048;                      // resident memory of the build's tree
  std::size_t processes = 256;                       // processes and threads of the tree
  std::size_t file_mb = 512;                         // largest file the build may write
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
                         const std::filesystem::path& launcher);

}  // namespace arena::entry
