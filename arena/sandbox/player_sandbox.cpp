#include "arena/sandbox/player_sandbox.h"

#include "arena/sandbox/bwrap_command.h"
#include "arena/sandbox/syscall_filter.h"

namespace arena::sandbox {
namespace fs = std::filesystem;

namespace {

// A directory the player's user cannot reach would make bwrap fail with a less helpful message.
void check_reachable(const fs::path& path, const Identity& identity, bool run = false) {
  if (reachable(path, identity, run)) return;
  throw SandboxError(path.string() + " cannot be " + (run ? "run" : "read") + " by user " +
                     std::to_string(identity.uid) +
                     ", whom the player runs as because the arena runs as root; make it and the "
                     "directories above it readable for others (chmod o+rx)");
}

void check_identity(const Policy& policy, const fs::path& program) {
  if (!policy.identity) return;
  check_reachable(policy.workdir, *policy.identity);
  for (const fs::path& dir : policy.readonly_dirs) check_reachable(dir, *policy.identity);
  check_reachable(program, *policy.identity, true);
}

}  // namespace

void check_policy(const HostSupport& host, const Policy& policy, const fs::path& program,
                  const std::vector<std::string>& args) {
  if (auto problem = host.problem()) throw SandboxError(*problem);
  check_identity(policy, program);
  bwrap_command(policy, program, args);
  if (policy.syscall_filter) syscall_filter_program();
}

PlayerSandbox::PlayerSandbox(const HostSupport& host, const Policy& policy) : policy_(policy) {
  if (auto problem = host.problem()) throw SandboxError(*problem);
  policy_.bwrap = *host.bwrap;
  if (host.cgroups.any()) cgroup_.emplace(host.cgroups, policy_.limits);
  policy_.processes_by_rlimit = !cgroup_ || !cgroup_->limits_processes();
}

SandboxedStart PlayerSandbox::start(const fs::path& program,
                                    const std::vector<std::string>& args) const {
  check_identity(policy_, program);
  SandboxedStart start;
  start.program = policy_.bwrap;
  start.args = bwrap_command(policy_, program, args);
  if (cgroup_) start.join_fds = cgroup_->join_fds();
  start.identity = policy_.identity;
  if (!cgroup_ || !cgroup_->limits_memory()) start.address_space_mb = policy_.limits.memory_mb;
  if (policy_.syscall_filter) start.syscall_filter = syscall_filter_fd();
  return start;
}

PlayerSandbox::Output PlayerSandbox::open_output() {
  fifos_.emplace(policy_.identity);
  policy_.fifo_dir = fifos_->dir();
  return {fifos_->take_output(), fifos_->take_started()};
}

std::optional<Milliseconds> PlayerSandbox::cpu_time() const {
  return cgroup_ ? cgroup_->cpu_time() : std::nullopt;
}

bool PlayerSandbox::memory_killed() const { return cgroup_ && cgroup_->memory_killed(); }

std::optional<long long> PlayerSandbox::peak_memory_kib() const {
  return cgroup_ ? cgroup_->peak_memory_kib() : std::nullopt;
}

void PlayerSandbox::kill_all() {
  if (cgroup_) cgroup_->kill_all();
}

void PlayerSandbox::close() {
  if (cgroup_) cgroup_->close();
  fifos_.reset();
}

}  // namespace arena::sandbox
