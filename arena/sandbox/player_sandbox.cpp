#include "arena/sandbox/player_sandbox.h"

#include "arena/sandbox/bwrap_command.h"
#include "arena/sandbox/process_tree.h"

namespace arena::sandbox {
namespace fs = std::filesystem;

namespace {

std::string who(const Identity& identity) { return "user " + std::to_string(identity.uid); }

// A directory the player's user cannot reach would make bwrap fail with a less helpful message.
void check_reachable(const fs::path& path, const Identity& identity, bool run = false) {
  if (reachable(path, identity, run)) return;
  throw SandboxError(path.string() + " cannot be " + (run ? "run" : "read") + " by " +
                     who(identity) +
                     ", whom the player runs as because the arena runs as root; "
                     "make it and the directories above it readable for others (chmod o+rx)");
}

}  // namespace

PlayerSandbox::PlayerSandbox(const HostSupport& host, const Policy& policy) : policy_(policy) {
  if (auto problem = host.problem()) throw SandboxError(*problem);
  policy_.bwrap = *host.bwrap;
  if (policy_.identity) {
    check_reachable(policy_.workdir, *policy_.identity);
    for (const fs::path& dir : policy_.readonly_dirs) check_reachable(dir, *policy_.identity);
  }
  if (host.cgroups.any()) cgroup_.emplace(host.cgroups, policy_.limits);
  policy_.processes_by_rlimit = !cgroup_ || !cgroup_->limits_processes();
}

SpawnRequest PlayerSandbox::wrap(const SpawnRequest& plain) const {
  if (policy_.identity) check_reachable(plain.program, *policy_.identity, true);
  SpawnRequest request = plain;
  request.args = bwrap_command(policy_, plain.program, plain.args);
  request.program = policy_.bwrap;
  request.workdir = "/";
  request.memory_limit_mb = 0;
  if (!cgroup_ || !cgroup_->limits_memory()) request.memory_limit_mb = policy_.limits.memory_mb;
  if (cgroup_) request.join_fds = cgroup_->join_fds();
  if (policy_.identity)
    request.run_as = SpawnRequest::Credentials{policy_.identity->uid, policy_.identity->gid};
  return request;
}

std::optional<Milliseconds> PlayerSandbox::cpu_time() const {
  return cgroup_ ? cgroup_->cpu_time() : std::nullopt;
}

Milliseconds PlayerSandbox::cpu_time(const ChildProcess& bwrap) const {
  if (auto counted = cpu_time()) return *counted;
  if (bwrap.reaped()) return bwrap.cpu_time();
  return process_tree_cpu_time(bwrap.pid());
}

bool PlayerSandbox::memory_killed() const { return cgroup_ && cgroup_->memory_killed(); }

void PlayerSandbox::close() {
  if (cgroup_) cgroup_->close();
}

}  // namespace arena::sandbox
