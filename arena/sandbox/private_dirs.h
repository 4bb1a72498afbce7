// Directories a player must see that its unprivileged user cannot reach on the host: a bot
// under a home of mode 700 (as /root is in most containers), or a bot directory that is itself
// of mode 700. While still root, the arena clones each such directory into a detached, read-only
// mount; the player's child attaches the clones, in a mount namespace of its own, at staging
// points in a directory every user may pass through, then drops to the seat's user and starts
// bwrap, which shows each clone at the directory's own path. A directory that the seat's user
// could not read even with its parents open is shown idmapped: its owner's files appear as the
// player's own, so the player reads them as their owner could. Nothing else changes: the player
// still runs as the seat's user and reads nothing else that user could not.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "arena/sandbox/sandbox_policy.h"
#include "arena/sandbox/sandbox_setup.h"
#include "arena/system/unique_fd.h"

namespace arena::sandbox {

// The prefix of a staging directory in the temporary directory; no sandbox shows one.
inline constexpr std::string_view kStagingDirPrefix = "zarvo-stage.";

class PrivateDirs {
 public:
  // Clones every directory of `shown` that `identity` cannot reach. Throws SandboxError when
  // the kernel cannot clone or idmap a mount.
  PrivateDirs(const std::vector<std::filesystem::path>& shown, const Identity& identity);
  PrivateDirs(const PrivateDirs&) = delete;
  PrivateDirs& operator=(const PrivateDirs&) = delete;
  ~PrivateDirs();

  // Also shows `tree`, a detached mount (a build's scratch area, scratch_mount.h), writable at
  // `shown`, through a staging point of its own. Throws SandboxError.
  void stage_tree(const std::filesystem::path& shown, int tree);

  // What the sandbox records of each clone (see SandboxSetup::staged).
  const std::vector<StagedDir>& staged() const { return staged_; }
  // The detached clones, in the order of staged().
  std::vector<int> trees() const;

 private:
  void stage(const std::vector<std::filesystem::path>& shown, const Identity& identity);
  // A fresh staging point (the staging directory made with the first).
  std::filesystem::path next_point();

  std::filesystem::path dir_;
  std::vector<StagedDir> staged_;
  std::vector<UniqueFd> trees_;
};

// In the child, while it is still root: a mount namespace of its own, in which each of the
// `count` detached trees is attached at its staging point. Only system calls, so that a child
// made with vfork() may call it. False, with errno set, when a step fails.
bool attach_staged(const int* trees, const char* const* points, std::size_t count);

// Whether the player of `policy` may read `file` (and run it, with `run`) as the sandbox shows
// it: through the staging of a private directory (one of `staged`) when `file` lies in one.
bool shown_readable(const Policy& policy, const std::vector<StagedDir>& staged,
                    const std::filesystem::path& file, bool run);

}  // namespace arena::sandbox
