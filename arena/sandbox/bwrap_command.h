// The bubblewrap command line that carries out a sandbox policy. Each isolation step is one
// small function in bwrap_command.cpp; bwrap applies its options in the order given, so the
// order of the steps matters and is fixed here.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "arena/sandbox/sandbox_policy.h"
#include "arena/sandbox/sandbox_setup.h"

namespace arena::sandbox {

// Where the player's HOME is inside the sandbox (a scratch area of its own).
inline constexpr const char* kSandboxHome = "/home/player";
inline constexpr const char* kSandboxPath = "/usr/local/bin:/usr/bin:/bin";
inline constexpr const char* kPrlimit = "/usr/bin/prlimit";

// The working directory may hold at most this many entries, each shown by a mount of its own.
inline constexpr std::size_t kMaxWorkdirEntries = 1000;

// bwrap, its options, then `program` and `args` (args[0], the name the player was given, is
// replaced by `program`, since bwrap names the program by its path): `policy` carried out as
// `setup` found the sandbox. Throws SandboxError when the policy cannot be carried out (a
// missing directory, a working directory that is too big).
std::vector<std::string> bwrap_command(const Policy& policy, const std::filesystem::path& program,
                                       const std::vector<std::string>& args,
                                       const SandboxSetup& setup = {});

// The system directories every player sees read-only.
const std::vector<std::filesystem::path>& system_directories();

// Whether an entry of a working directory shown entry by entry is left out: it is, or holds,
// one of the `hidden` paths (normalized), or it is a scratch directory of an arena.
bool left_out_of_workdir(const std::filesystem::path& entry,
                         const std::vector<std::filesystem::path>& hidden);

// `path` absolute, without "." or ".." and without a trailing '/'.
std::filesystem::path normal_absolute(const std::filesystem::path& path);

// Whether `path` is `dir` or lies below it (both absolute and normal).
bool is_within(const std::filesystem::path& path, const std::filesystem::path& dir);

}  // namespace arena::sandbox
