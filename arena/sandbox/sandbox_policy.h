// What a sandboxed player may see and use: the arena decides this policy, bubblewrap and the
// control groups carry it out. A record of plain values, filled in by the arena for each seat;
// what the sandbox learns while it is made is not here but in its SandboxSetup.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace arena::sandbox {

// The unprivileged user a player runs as on the host when the arena runs as root.
struct Identity {
  uid_t uid = 0;
  gid_t gid = 0;
};

struct Limits {
  std::size_t memory_mb = 0;  // resident memory of the whole process tree; 0: none
  std::size_t processes = 0;  // processes and threads of the whole tree; 0: none
};

// The names of the arena's scratch directories in the temporary directory, which no sandbox
// shows: a referee's working directory, a build's or a check's scratch area, the empty working
// directory of a player without files of its own, and a player's pipes.
inline constexpr std::string_view kScratchDirPrefix = "zarvo-arena.";
inline constexpr std::string_view kPipesDirPrefix = "zarvo-player.";

// The default process limit: room for a JVM's threads and a Python bot's helpers, none for a
// fork bomb.
inline constexpr std::size_t kDefaultProcessLimit = 128;

// The default memory limit of a sandboxed player's process tree, where it is resident memory
// (a memory control group): room for the Java sample bot, whose 2000 MB heap the JVM reserves
// but touches only as it allocates (its young generation, about 670 MB, fills before each
// collection), while two games of two players stay within 4 GiB.
inline constexpr std::size_t kDefaultMemoryLimitMb = 1024;

// The size of each scratch area of a player without a memory limit.
inline constexpr std::size_t kDefaultScratchMb = 1024;

struct Policy {
  // The player's working directory, at its own path: its files read-only, new files allowed
  // and thrown away after the game.
  std::filesystem::path workdir;
  // The working directory itself shown writable, changes kept (an entry being built); `hidden`
  // then does not apply to it.
  bool workdir_writable = false;
  // What the player must not see even where it lies in its working directory (the game's
  // files, the other player's directory): an entry of the working directory that is one of
  // these or holds one is left out. So are the arena's own scratch directories (see
  // kScratchDirPrefix), of this game and of any other, should the working directory be the
  // temporary directory that holds them.
  std::vector<std::filesystem::path> hidden;
  // Directories of other players, covered by an empty read-only directory wherever a shown
  // directory (a system directory, a read-only one) would show them.
  std::vector<std::filesystem::path> covered;
  // More directories visible read-only at their own paths (the program's own directory when it
  // is not the working directory, --ro-dir).
  std::vector<std::filesystem::path> readonly_dirs;
  // Set beside the fixed PATH, HOME and LANG; nothing else of the arena's environment passes.
  std::vector<std::pair<std::string, std::string>> env;
  Limits limits;
  // Size of each writable scratch area (/tmp, /dev/shm, HOME, the working directory's new
  // files). What a player writes there is memory of its control group: under a memory control
  // group, all its scratch areas and its processes together stay within limits.memory_mb.
  std::size_t scratch_mb = kDefaultScratchMb;
  // The player runs under the system-call filter (syscall_filter.h); off only for debugging.
  bool syscall_filter = true;
  // The user leased for this sandbox alone (user_leases.h); none: the arena's own user.
  std::optional<Identity> identity;
};

// The user a root arena builds entries as, 60003: fixed, since the entries' files stay its own
// after the build, and outside every range players may run as (user_leases.h), so that no
// player ever owns an entry's files.
Identity build_identity();

// Whether the arena must drop to another user for its players: it runs as root.
bool must_drop_root();

// Thrown when a sandbox cannot be made; the message names the cause, the kind tells callers
// what sort of cause it is.
struct SandboxError : std::runtime_error {
  enum class Kind {
    kCannotMake,  // the host, the policy or the system refuse it
    kUnreadable,  // the player's program or script cannot be run or read by the seat's user
  };
  explicit SandboxError(const std::string& what, Kind kind = Kind::kCannotMake)
      : std::runtime_error(what), kind(kind) {}
  Kind kind;
};

}  // namespace arena::sandbox
