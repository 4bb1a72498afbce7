#include "arena/sandbox/player_sandbox.h"

#include <fcntl.h>
#include <unistd.h>

#include "arena/sandbox/bwrap_command.h"
#include "arena/sandbox/cgroup_files.h"
#include "arena/sandbox/process_tree.h"
#include "arena/sandbox/shown_pipes_and_sockets.h"
#include "arena/sandbox/syscall_filter.h"

namespace arena::sandbox {
namespace fs = std::filesystem;

namespace {

// A file the player's user cannot read or run would only show as the player's crash.
void check_readable(const Policy& policy, const std::vector<StagedDir>& staged,
                    const fs::path& file, bool run) {
  if (!policy.identity || shown_readable(policy, staged, file, run)) return;
  throw SandboxError(file.string() + " cannot be " + (run ? "run" : "read") + " by user " +
                         std::to_string(policy.identity->uid) +
                         ", whom the player runs as because the arena runs as root; make it " +
                         (run ? "readable and executable" : "readable") + " for others (chmod o+r" +
                         (run ? "x" : "") + ")",
                     SandboxError::Kind::kUnreadable);
}

std::vector<fs::path> shown_dirs(const Policy& policy) {
  std::vector<fs::path> dirs = {policy.workdir};
  dirs.insert(dirs.end(), policy.readonly_dirs.begin(), policy.readonly_dirs.end());
  return dirs;
}

}  // namespace

void check_policy(const HostSupport& host, const Policy& policy, const fs::path& program,
                  const std::vector<std::string>& args, const std::optional<fs::path>& script) {
  if (auto problem = host.problem()) throw SandboxError(*problem);
  SandboxSetup setup;
  std::optional<PrivateDirs> private_dirs;
  if (policy.identity) {
    private_dirs.emplace(shown_dirs(policy), *policy.identity);
    setup.staged = private_dirs->staged();
  }
  check_readable(policy, setup.staged, program, true);
  if (script) check_readable(policy, setup.staged, *script, false);
  check_no_shown_pipes_and_sockets(policy);
  bwrap_command(policy, program, args, setup);
  if (policy.syscall_filter) syscall_filter_program();
}

PlayerSandbox::PlayerSandbox(const HostSupport& host, const Policy& policy,
                             const WorkdirSource& workdir_source)
    : policy_(policy) {
  if (auto problem = host.problem()) throw SandboxError(*problem);
  setup_.bwrap = *host.bwrap;
  if (host.cgroups.any()) cgroup_.emplace(host.cgroups, policy_.limits);
  setup_.processes_by_rlimit = !cgroup_ || !cgroup_->limits_processes();
  const bool from_tree = workdir_source.tree >= 0 && policy_.workdir_writable;
  if (policy_.identity || from_tree) {
    std::vector<fs::path> shown = shown_dirs(policy_);
    // The working directory's own files are not shown at all: the tree stands in for them.
    if (from_tree) shown.erase(shown.begin());
    private_dirs_.emplace(shown, policy_.identity.value_or(Identity{::getuid(), ::getgid()}));
    if (from_tree) private_dirs_->stage_tree(policy_.workdir, workdir_source.tree);
    setup_.staged = private_dirs_->staged();
  }
  if (!from_tree && !workdir_source.dir.empty() && policy_.workdir_writable) {
    StagedDir copy;
    copy.shown = normal_absolute(policy_.workdir);
    copy.point = workdir_source.dir;
    setup_.staged.push_back(std::move(copy));
  }
}

SandboxedStart PlayerSandbox::start(const fs::path& program,
                                    const std::vector<std::string>& args) const {
  check_readable(policy_, setup_.staged, program, true);
  SandboxedStart start;
  start.program = setup_.bwrap;
  start.args = bwrap_command(policy_, program, args, setup_);
  if (cgroup_) start.join_fds = cgroup_->join_fds();
  start.identity = policy_.identity;
  if (!cgroup_ || !cgroup_->limits_memory()) start.address_space_mb = policy_.limits.memory_mb;
  if (policy_.syscall_filter) start.syscall_filter = syscall_filter_fd();
  if (private_dirs_) {
    start.staged_trees = private_dirs_->trees();
    for (const StagedDir& staged : setup_.staged) start.staged_points.push_back(staged.point);
  }
  if (gate_) {
    start.start_gate = UniqueFd(::fcntl(gate_.get(), F_DUPFD_CLOEXEC, kStartGateFd + 1));
    if (!start.start_gate) throw SandboxError("cannot pass on a player's gate: " + errno_text());
  }
  return start;
}

PlayerSandbox::Output PlayerSandbox::open_output() {
  fifos_.emplace(policy_.identity);
  setup_.fifo_dir = fifos_->dir();
  return {fifos_->take_output(), fifos_->take_started()};
}

UniqueFd PlayerSandbox::hold_at_start() {
  Pipe gate = make_pipe();
  gate_ = std::move(gate.read);
  setup_.held_at_start = true;
  return std::move(gate.write);
}

std::optional<Milliseconds> PlayerSandbox::cpu_time() const {
  return cgroup_ ? cgroup_->cpu_time() : std::nullopt;
}

bool PlayerSandbox::memory_killed() const { return cgroup_ && cgroup_->memory_killed(); }

std::optional<long long> PlayerSandbox::peak_memory_kib() const {
  return cgroup_ ? cgroup_->peak_memory_kib() : std::nullopt;
}

bool PlayerSandbox::freeze(pid_t root) {
  if (!freezes_by_signal()) return cgroup_->freeze();
  stopped_ = true;
  return stop_descendants(root);
}

void PlayerSandbox::thaw(pid_t root) {
  if (!freezes_by_signal()) return cgroup_->thaw();
  if (!stopped_) return;
  continue_descendants(root);
  stopped_ = false;
}

void PlayerSandbox::kill_all() {
  if (cgroup_) cgroup_->kill_all();
}

void PlayerSandbox::close() {
  if (cgroup_) cgroup_->close();
  fifos_.reset();
  gate_.reset();
}

}  // namespace arena::sandbox
