// Reading and writing the small control files of the control-group file systems.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "arena/system/unique_fd.h"

namespace arena::sandbox {

// The leaf of its own group an arena moves into under cgroup v2 (see cgroup_v2_delegation.h).
inline constexpr std::string_view kV2ArenaLeaf = "zarvo-arena";

// strerror(errno).
std::string errno_text();

// Writes `text` to the control file in one write. Throws SandboxError naming the file.
void write_control(const std::filesystem::path& file, std::string_view text);

// Opens a control file, close-on-exec; an empty UniqueFd when it cannot.
UniqueFd open_control(const std::filesystem::path& file, int flags);

// A control file read through an open descriptor, from its start (at most 4 KiB).
std::string read_control(int fd);

// A whole control file; "" when it cannot be read.
std::string read_text(const std::filesystem::path& file);

// The number after `key` in a flat-keyed file ("oom_kill 3\n"), or nothing.
std::optional<long long> keyed_value(std::string_view text, std::string_view key);

}  // namespace arena::sandbox
