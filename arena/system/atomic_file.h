// Replacing a file in one step: a reader, or another writer of the same file at the same time,
// sees the old content or the new, never half of either.
#pragma once

#include <filesystem>
#include <string_view>

namespace arena {

// Who may read the new file: whom the umask lets (mode 0644 less the umask), or everyone,
// whatever the umask (a file a web server hands out).
enum class FileReaders { kUmask, kEveryone };

// Writes `content` whole to a fresh temporary file beside `path`, then renames it over `path`.
// The temporary is created exclusively, so a link planted in the directory is never written
// through, and the rename replaces whatever stands at `path` (a link included) without
// following it. On failure the temporary is removed, `path` is left as it was, and
// std::system_error is thrown naming `path`.
void replace_file(const std::filesystem::path& path, std::string_view content,
                  FileReaders readers = FileReaders::kUmask);

}  // namespace arena
