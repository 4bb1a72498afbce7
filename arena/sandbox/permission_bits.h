// What a user may do with a file by its permission bits alone, and those of the directories on
// the way to it: the owner's, the group's or the others' bits, whichever the kernel would pick.
// Judged before bwrap runs, for a clear error where the sandbox would fail or a player would
// not find its files.
#pragma once

#include <filesystem>
#include <optional>

#include "arena/sandbox/sandbox_policy.h"
#include "arena/sandbox/sandbox_setup.h"

namespace arena::sandbox {

struct FileAccess {
  bool directory = false;
  bool read = false;
  bool run = false;  // of a directory: search it
};

// What `who` may do with `path`, reached by searching every directory from `from` (itself
// included) down to it; nothing when one of them cannot be searched or `path` does not exist.
// With `idmapped`, the files are judged as that idmapped mount shows them: its owner's as
// `who`'s own, everyone else's as an unmapped owner's.
std::optional<FileAccess> access_along(const std::filesystem::path& from,
                                       const std::filesystem::path& path, const Identity& who,
                                       const StagedDir* idmapped = nullptr);

}  // namespace arena::sandbox
