// One player's sandbox for one game: its control groups (where they can be made), the
// bubblewrap command that runs its program, and the user it runs as. Turns the request that
// would start the program into the request that starts it sandboxed; afterwards tells what the
// player's whole process tree used, and takes it all down.
#pragma once

#include <filesystem>
#include <optional>

#include "arena/child_process.h"
#include "arena/sandbox/control_group.h"
#include "arena/sandbox/host_support.h"
#include "arena/sandbox/sandbox_policy.h"

namespace arena::sandbox {

class PlayerSandbox {
 public:
  // Makes the control groups. Throws SandboxError naming the cause when the sandbox cannot be
  // made (see HostSupport::problem) or the policy cannot be carried out.
  PlayerSandbox(const HostSupport& host, const Policy& policy);

  // The request that starts `plain.program` with `plain.args` in the sandbox, its standard
  // streams and file-size limit as given. Limits the control groups cannot hold fall back to
  // resource limits of the process (see limit_notes).
  SpawnRequest wrap(const SpawnRequest& plain) const;

  // CPU time of the player's whole process tree, when the control groups count it.
  std::optional<Milliseconds> cpu_time() const;
  // The same for the sandbox started as `bwrap`, counted from /proc (live processes and what
  // they waited for) or, once bwrap is reaped, from its usage where no control group counts.
  Milliseconds cpu_time(const ChildProcess& bwrap) const;
  // Whether the memory limit killed a process of the player.
  bool memory_killed() const;

  // Kills every process of the sandbox and removes its groups; the figures stay readable.
  void close();

  const Policy& policy() const { return policy_; }
  const ControlGroup* control_group() const { return cgroup_ ? &*cgroup_ : nullptr; }

 private:
  Policy policy_;
  std::optional<ControlGroup> cgroup_;
};

}  // namespace arena::sandbox
