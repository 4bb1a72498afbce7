// Replacing a file in one step: readers see the old content or the new, never half of it.
#pragma once

#include <filesystem>
#include <string_view>

namespace arena::tournament {

// Writes `content` to "<path>.tmp", then renames it over `path`. Throws std::runtime_error
// when either step fails.
void replace_file(const std::filesystem::path& path, std::string_view content);

}  // namespace arena::tournament
