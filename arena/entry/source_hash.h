// The hash that tells one version of an entry's sources from another: SHAKE256 (the arena's own,
// from rng/, so that no other library is needed) over every file of the entry, in the order of
// their paths, each as its path and its contents with their lengths. The arena's own files
// (the record, the build log) and what the recipe builds are left out, so that building the same
// sources again gives the same hash. A link counts as the path it holds, never followed.
#pragma once

#include <filesystem>
#include <string>

#include "arena/entry/build_recipe.h"

namespace arena::entry {

// 64 lowercase hexadecimal digits (32 bytes). Throws std::runtime_error when a file of the
// entry cannot be read.
std::string source_hash(const std::filesystem::path& entry, const Recipe& recipe);

}  // namespace arena::entry
