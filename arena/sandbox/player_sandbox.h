// One player's sandbox for one game: its control groups (where they can be made), the
// bubblewrap command that runs its program, and the user it runs as. It tells how to start the
// program sandboxed; afterwards, what the player's whole process tree used, and it takes it all
// down. ChildProcess owns one for a child whose request carries a sandbox policy.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "arena/sandbox/control_group.h"
#include "arena/sandbox/host_support.h"
#include "arena/sandbox/player_fifos.h"
#include "arena/sandbox/private_dirs.h"
#include "arena/sandbox/sandbox_policy.h"
#include "arena/sandbox/sandbox_setup.h"
#include "arena/system/deadline.h"
#include "arena/system/unique_fd.h"

namespace arena::sandbox {

// What the spawn path executes instead of the player's program.
struct SandboxedStart {
  std::filesystem::path program;  // bwrap
  std::vector<std::string> args;  // bwrap's argv, ending in the player's program and arguments
  std::vector<int> join_fds;      // the control groups' cgroup.procs, to write "0" into
  std::optional<Identity> identity;
  // The address-space limit (RLIMIT_AS) standing in for a memory group; 0: none.
  std::size_t address_space_mb = 0;
  // The system-call filter for bwrap, to become descriptor kSyscallFilterFd; empty: none.
  UniqueFd syscall_filter;
  // Private directories to attach at their staging points while still root (private_dirs.h).
  std::vector<int> staged_trees;
  std::vector<std::string> staged_points;
  // The reading end of the gate the program waits at, to become descriptor kStartGateFd; empty:
  // none. Above kStartGateFd, so that moving the filter to its place cannot replace it.
  UniqueFd start_gate;
};

class PlayerSandbox {
 public:
  // Makes the control groups. Throws SandboxError naming the cause when the sandbox cannot be
  // made (see HostSupport::problem) or the policy cannot be carried out. A writable working
  // directory shows `workdir_source` when one is given.
  PlayerSandbox(const HostSupport& host, const Policy& policy,
                const WorkdirSource& workdir_source = {});

  // How to start `program` with `args` (args[0] included) in the sandbox. Throws SandboxError.
  SandboxedStart start(const std::filesystem::path& program,
                       const std::vector<std::string>& args) const;

  // The reading ends of the player's standard output and of the pipe that shows the sandbox is
  // up (see player_fifos.h); call before start().
  struct Output {
    UniqueFd output;
    UniqueFd started;
  };
  Output open_output();

  // After open_output(), before start(): the program, once the sandbox is up, waits to start
  // until the returned writing end of its gate is closed (see SandboxSetup::held_at_start).
  UniqueFd hold_at_start();

  // CPU time of the player's whole process tree, when the control groups count it.
  std::optional<Milliseconds> cpu_time() const;
  // Whether the memory limit killed a process of the player.
  bool memory_killed() const;
  // The peak memory of the player's tree in KiB, where its control group keeps it.
  std::optional<long long> peak_memory_kib() const;

  // Freezes the player's whole process tree while its opponent thinks: its freezer group, or
  // where there is none, every process below `root` (bwrap) stopped with SIGSTOP. Returns once
  // the tree is frozen; false when it could not be (bounded wait).
  bool freeze(pid_t root);
  // Lets the tree run again; nothing when it is not frozen.
  void thaw(pid_t root);
  // Whether freezing falls back to SIGSTOP and SIGCONT, which a player can notice.
  bool freezes_by_signal() const { return !cgroup_ || !cgroup_->can_freeze(); }

  // Kills every process in the control groups (the PID namespace dies with bwrap anyway).
  void kill_all();
  // Kills every process of the sandbox and removes its groups; the figures stay readable.
  void close();

  // The policy as the arena decided it; what making the sandbox found out beside it.
  const Policy& policy() const { return policy_; }
  const SandboxSetup& setup() const { return setup_; }
  const ControlGroup* control_group() const { return cgroup_ ? &*cgroup_ : nullptr; }

 private:
  const Policy policy_;
  SandboxSetup setup_;
  std::optional<ControlGroup> cgroup_;
  std::optional<PlayerFifos> fifos_;
  std::optional<PrivateDirs> private_dirs_;
  UniqueFd gate_;         // the reading end of the program's gate, while it is held
  bool stopped_ = false;  // frozen by SIGSTOP
};

// Checks, before anything is started, that a player of `policy` running `program` (and
// `script`, when it runs one) can be sandboxed here, that the player can read them as the
// sandbox shows them, and that nothing it is shown is a named pipe or a socket
// (shown_pipes_and_sockets.h). Throws SandboxError naming the cause.
void check_policy(const HostSupport& host, const Policy& policy,
                  const std::filesystem::path& program, const std::vector<std::string>& args,
                  const std::optional<std::filesystem::path>& script = std::nullopt);

}  // namespace arena::sandbox
