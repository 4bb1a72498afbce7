// What a player's sandbox learns while it is made, beside the policy the arena decided: where
// bwrap is, whether the processes are counted by an rlimit, where its named pipes are and which
// shown directories come through a staging point. PlayerSandbox owns one; bwrap_command reads
// it together with the policy.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <vector>

namespace arena::sandbox {

// The descriptor at which a program held at its start (SandboxSetup::held_at_start) finds the
// reading end of its gate.
inline constexpr int kStartGateFd = 4;

// A directory the seat's user cannot reach on the host, shown through a staging point that the
// player's child mounts while still root (see private_dirs.h).
struct StagedDir {
  std::filesystem::path shown;  // the directory, at the path the player sees it at
  std::filesystem::path point;  // where bwrap finds it
  // Shown idmapped: files of `owner` appear as the player's (group `owner_group` as its group).
  bool idmapped = false;
  uid_t owner = 0;
  gid_t owner_group = 0;
};

// What a writable working directory shows instead of its own files (a build's copy of an
// entry), at the working directory's path: a detached mount (a root arena's scratch area, see
// scratch_mount.h), attached while still root, or a directory of the host. Neither: the
// directory itself. The caller keeps the mount open.
struct WorkdirSource {
  int tree = -1;
  std::filesystem::path dir;
};

struct SandboxSetup {
  std::filesystem::path bwrap = "/usr/bin/bwrap";
  // Where no control group counts the processes: the program is started through prlimit(1)
  // inside the sandbox, whose RLIMIT_NPROC then counts the processes of this sandbox alone
  // (the kernel counts them per user namespace).
  bool processes_by_rlimit = false;
  // When set, the directory of the player's named pipes (see player_fifos.h).
  std::filesystem::path fifo_dir;
  // With fifo_dir: once the sandbox has signalled that it is up, the player's program waits to
  // start until the arena closes the writing end of the gate (a pipe, kStartGateFd inside), so
  // that what the arena opens in the sandbox meanwhile is as bwrap made it, untouched by any code
  // of the player's.
  bool held_at_start = false;
  // The shown directories that bwrap takes from a staging point (see private_dirs.h).
  std::vector<StagedDir> staged;
};

}  // namespace arena::sandbox
