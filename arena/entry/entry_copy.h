// The copies a build works on: the entry's sources copied into the build's scratch area, and
// what the build made copied back into the entry. Both go through descriptors and never follow
// a link. What comes back is only regular files, directories and links that stay inside the
// entry, no file of the mode bits setuid, setgid or sticky, none writable by group or others,
// each owned by the arena's own user; files the build left unchanged are not copied back, so
// the entrant's sources stay as they are. The arena's own files of the entry (its record and
// build log) are neither copied in nor back.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "arena/sandbox/sandbox_policy.h"

namespace arena::entry {

// The files copied in, by their path in the copy, as they were once copied: a file of the
// copy that still is the same inode, changed at the same time, was left as it came.
struct CopiedSources {
  struct Stamp {
    ino_t inode = 0;
    std::int64_t changed_ns = 0;
  };
  std::map<std::string, Stamp> files;
};

// Copies the directories, regular files and links of the entry `entry_dir` into the empty
// directory `copy_dir`, each given to `owner` when set. Throws std::runtime_error naming the
// cause (no room: "the entry's files need more than ...").
CopiedSources copy_sources(int entry_dir, int copy_dir,
                           const std::optional<sandbox::Identity>& owner);

struct CopySize {
  std::uintmax_t bytes = 0;
  std::size_t files = 0;
};

// What `copy_dir` holds, counted as far as `max_files` files: a build that left more fails.
CopySize measure_copy(int copy_dir, std::size_t max_files);

// Copies back into `entry_dir` what the build changed or made in `copy_dir`. Throws
// std::runtime_error naming the file that could not be copied.
void copy_result(int copy_dir, int entry_dir, const CopiedSources& sources);

}  // namespace arena::entry
