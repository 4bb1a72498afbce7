#include "arena/process/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

#include "arena/process/pipe_writer.h"
#include "arena/process/process_registry.h"
#include "arena/process/stop_signals.h"
#include "arena/sandbox/host_support.h"
#include "arena/sandbox/player_sandbox.h"
#include "arena/sandbox/private_dirs.h"
#include "arena/sandbox/process_tree.h"
#include "arena/sandbox/syscall_filter.h"
#include "arena/system/proc_stat.h"

namespace arena {
namespace {

ExitStatus decode(int code, int status) {
  if (code == CLD_EXITED) return {false, status};
  return {true, status};
}

// Everything the child needs is prepared before it exists. The child is made with vfork(): it
// borrows the arena's memory until exec, which makes starting a program several times cheaper
// than fork() and is why it may only make system calls and must not return or touch any
// memory but its own stack and errno.
struct ExecPlan {
  std::string program;
  std::vector<std::string> args;
  std::vector<char*> argv;
  std::string workdir;
  std::string exec_failure;
  std::string chdir_failure;
  std::string join_failure;
  std::string identity_failure;
  std::string staging_failure;
  int fds[3];
  std::vector<int> join_fds;
  rlim_t memory_limit = 0;
  rlim_t file_size_limit = 0;
  std::optional<SpawnRequest::Credentials> run_as;
  // Handed to the program as descriptor kSyscallFilterFd (bwrap reads its filter there).
  UniqueFd syscall_filter;
  // Handed to the program as descriptor kStartGateFd (see SandboxSetup::held_at_start).
  UniqueFd start_gate;
  // Written to /proc/self/oom_score_adj before exec; empty: inherited.
  std::string oom_score_adj;
  // Private directories attached in a mount namespace of the child's own (private_dirs.h).
  std::vector<int> staged_trees;
  std::vector<const char*> staged_points;
  std::vector<std::string> staged_point_names;
  pid_t parent = 0;
};

void write_message(const std::string& prefix) {
  const char* reason = strerrordesc_np(errno);
  if (!reason) reason = "unknown error";
  [[maybe_unused]] ssize_t ignored = ::write(2, prefix.data(), prefix.size());
  ignored = ::write(2, reason, std::strlen(reason));
  ignored = ::write(2, "\n", 1);
}

[[noreturn]] void run_child(const ExecPlan& plan) {
  ::setpgid(0, 0);
  // The kernel kills the child should the arena die without cleaning up.
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != plan.parent) ::_exit(127);

  // The arena's handlers must not run in the child, and the arena's own ignored SIGPIPE would
  // survive exec; a stop signal ignored since the arena started (nohup) stays ignored.
  reset_stop_signals_in_child();
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  ::sigaction(SIGPIPE, &default_action, nullptr);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);

  for (int target = 0; target < 3; ++target) {
    int source = plan.fds[target];
    bool opened = false;
    if (source < 0) {
      source = ::open("/dev/null", target == 0 ? O_RDONLY : O_WRONLY);
      opened = source >= 0;
    }
    if (source == target) {
      ::fcntl(target, F_SETFD, 0);
    } else if (source >= 0) {
      ::dup2(source, target);
      if (opened) ::close(source);
    }
  }
  for (int fd : plan.join_fds) {
    if (::write(fd, "0", 1) != 1) {
      write_message(plan.join_failure);
      ::_exit(127);
    }
  }
  // The private directories first: their descriptors may be the ones the filter's replaces.
  if (!sandbox::attach_staged(plan.staged_trees.data(), plan.staged_points.data(),
                              plan.staged_trees.size())) {
    write_message(plan.staging_failure);
    ::_exit(127);
  }
  // Only the three standard streams (and a sandbox's filter) reach the program: whatever the
  // arena itself inherited (a make jobserver, a terminal) stays with the arena.
  int first_closed = 3;
  if (plan.syscall_filter) {
    const int filter = plan.syscall_filter.get();
    if (filter == sandbox::kSyscallFilterFd) {
      ::fcntl(filter, F_SETFD, 0);
    } else if (::dup2(filter, sandbox::kSyscallFilterFd) < 0) {
      write_message(plan.exec_failure);
      ::_exit(127);
    }
    first_closed = sandbox::kSyscallFilterFd + 1;
  }
  if (plan.start_gate) {
    // Its descriptor lies above kStartGateFd (see SandboxedStart), out of the filter's way.
    if (::dup2(plan.start_gate.get(), sandbox::kStartGateFd) < 0) {
      write_message(plan.exec_failure);
      ::_exit(127);
    }
    if (first_closed < sandbox::kStartGateFd) {
      ::close_range(static_cast<unsigned>(first_closed), sandbox::kStartGateFd - 1, 0);
    }
    first_closed = sandbox::kStartGateFd + 1;
  }
  ::close_range(static_cast<unsigned>(first_closed), ~0U, 0);
  if (!plan.oom_score_adj.empty()) {
    // Raising it needs no privilege; a failure leaves the inherited score.
    int fd = ::open("/proc/self/oom_score_adj", O_WRONLY | O_CLOEXEC);
    if (fd >= 0) {
      [[maybe_unused]] ssize_t ignored =
          ::write(fd, plan.oom_score_adj.data(), plan.oom_score_adj.size());
      ::close(fd);
    }
  }
  if (!plan.workdir.empty() && ::chdir(plan.workdir.c_str()) != 0) {
    write_message(plan.chdir_failure);
    ::_exit(127);
  }
  if (plan.memory_limit > 0) {
    rlimit limit{plan.memory_limit, plan.memory_limit};
    ::setrlimit(RLIMIT_AS, &limit);
  }
  if (plan.file_size_limit > 0) {
    rlimit limit{plan.file_size_limit, plan.file_size_limit};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  if (plan.run_as) {
    // Raw system calls: glibc's wrappers would also try to change the credentials of the
    // arena's other threads, whose memory this child borrows.
    if (::syscall(SYS_setgroups, 0, nullptr) != 0 || ::syscall(SYS_setgid, plan.run_as->gid) != 0 ||
        ::syscall(SYS_setuid, plan.run_as->uid) != 0) {
      write_message(plan.identity_failure);
      ::_exit(127);
    }
    // A change of credentials clears the parent-death signal.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != plan.parent) ::_exit(127);
  }
  ::execv(plan.program.c_str(), plan.argv.data());
  write_message(plan.exec_failure);
  ::_exit(127);
}

// Signals stay blocked until the child has reset the arena's handlers.
__attribute__((noinline)) pid_t start_child(const ExecPlan& plan) {
  sigset_t all, previous;
  sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &previous);
  pid_t pid = ::vfork();
  if (pid == 0) run_child(plan);
  int saved = errno;
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  errno = saved;
  return pid;
}

int open_exit_fd(pid_t pid) {
#ifdef SYS_pidfd_open
  long fd = ::syscall(SYS_pidfd_open, pid, 0);
  if (fd >= 0) {
    ::fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
    return static_cast<int>(fd);
  }
#endif
  (void)pid;
  return -1;
}

// The program becomes bwrap with the player's command at the end of its arguments; the child
// joins the sandbox's control groups and takes its user.
void apply_sandbox(ExecPlan& plan, const SpawnRequest& request,
                   const sandbox::PlayerSandbox& sandbox) {
  sandbox::SandboxedStart start = sandbox.start(request.program, request.args);
  plan.program = start.program.string();
  plan.args = std::move(start.args);
  plan.argv.clear();
  for (auto& arg : plan.args) plan.argv.push_back(arg.data());
  plan.argv.push_back(nullptr);
  plan.exec_failure = "zarvo-arena: cannot execute " + plan.program + ": ";
  plan.join_fds.insert(plan.join_fds.end(), start.join_fds.begin(), start.join_fds.end());
  if (start.identity) {
    plan.run_as = SpawnRequest::Credentials{start.identity->uid, start.identity->gid};
    plan.identity_failure = "zarvo-arena: cannot run " + plan.program + " as user " +
                            std::to_string(start.identity->uid) + ": ";
  }
  plan.memory_limit = static_cast<rlim_t>(start.address_space_mb) * 1024 * 1024;
  plan.syscall_filter = std::move(start.syscall_filter);
  plan.start_gate = std::move(start.start_gate);
  plan.staged_trees = std::move(start.staged_trees);
  plan.staged_point_names = std::move(start.staged_points);
  for (const std::string& point : plan.staged_point_names) {
    plan.staged_points.push_back(point.c_str());
  }
  plan.staging_failure = "zarvo-arena: cannot attach a player's private directory: ";
}

}  // namespace

std::string ExitStatus::describe() const {
  if (!signaled) return "exit status " + std::to_string(value);
  const char* name = strsignal(value);
  return "signal " + std::to_string(value) + " (" + (name ? name : "?") + ")";
}

ChildProcess::ChildProcess(const SpawnRequest& request) {
  // The child's ends are closed here once it has started (or failed to).
  Pipe to_child, from_child;
  if (request.pipe_input) to_child = make_pipe();
  if (request.pipe_output && !request.sandbox) from_child = make_pipe();
  UniqueFd errors;
  if (!request.error_file.empty()) errors = create_output_file(request.error_file);

  ExecPlan plan;
  plan.program = request.program.string();
  plan.args = request.args;
  if (plan.args.empty()) plan.args.push_back(plan.program);
  for (auto& arg : plan.args) plan.argv.push_back(arg.data());
  plan.argv.push_back(nullptr);
  plan.workdir = request.workdir.string();
  plan.exec_failure = "zarvo-arena: cannot execute " + plan.program + ": ";
  plan.chdir_failure = "zarvo-arena: cannot enter " + plan.workdir + ": ";
  plan.join_failure = "zarvo-arena: cannot join the control group of " + plan.program + ": ";
  plan.join_fds = request.join_fds;
  plan.run_as = request.run_as;
  if (plan.run_as) {
    plan.identity_failure = "zarvo-arena: cannot run " + plan.program + " as user " +
                            std::to_string(plan.run_as->uid) + ": ";
  }
  plan.fds[0] = to_child.read.get();
  plan.fds[1] = from_child.write.get();
  plan.fds[2] = errors.get();
  plan.memory_limit = static_cast<rlim_t>(request.memory_limit_mb) * 1024 * 1024;
  plan.file_size_limit = static_cast<rlim_t>(request.file_size_limit_mb) * 1024 * 1024;
  if (request.oom_score_adj) plan.oom_score_adj = std::to_string(*request.oom_score_adj);
  plan.parent = ::getpid();
  if (request.sandbox) {
    sandbox_ = std::make_unique<sandbox::PlayerSandbox>(sandbox::host_support(), *request.sandbox,
                                                        request.workdir_source);
    if (request.pipe_output) {
      auto output = sandbox_->open_output();
      from_child.read = std::move(output.output);
      started_ = std::move(output.started);
      if (request.hold_at_start) gate_ = sandbox_->hold_at_start();
    }
    apply_sandbox(plan, request, *sandbox_);
  }

  pid_ = start_child(plan);
  if (pid_ < 0) throw std::system_error(errno, std::generic_category(), "vfork");
  // Also set from this side, so the group exists before anybody signals it.
  ::setpgid(pid_, pid_);
  register_group(pid_);
  exit_fd_.reset(open_exit_fd(pid_));
  input_ = std::move(to_child.write);
  if (input_) set_nonblocking(input_.get());
  output_ = std::move(from_child.read);
}

ChildProcess::~ChildProcess() {
  if (!reaped_) {
    kill_group();
    reap();
  }
}

std::optional<ExitStatus> ChildProcess::exited() {
  if (status_) return status_;
  siginfo_t info{};
  if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
      info.si_pid == pid_) {
    status_ = decode(info.si_code, info.si_status);
  }
  return status_;
}

std::optional<ExitStatus> ChildProcess::wait_exit(TimePoint deadline) {
  for (;;) {
    if (auto status = exited()) return status;
    if (Clock::now() >= deadline) return std::nullopt;
    if (exit_fd() >= 0) {
      pollfd p{exit_fd(), POLLIN, 0};
      ::poll(&p, 1, poll_timeout(deadline));
    } else {
      std::this_thread::sleep_for(
          std::min<Clock::duration>(Milliseconds(5), deadline - Clock::now()));
    }
  }
}

void ChildProcess::kill_group() {
  if (reaped_) return;
  if (sandbox_) cpu_time();  // the last reading of a tree that no control group counts
  ::kill(-pid_, SIGKILL);
  if (sandbox_) sandbox_->kill_all();
}

bool ChildProcess::wait_started(TimePoint deadline, const std::function<void()>& while_held) {
  while (started_) {
    pollfd fds[2] = {{started_.get(), POLLIN, 0}, {exit_fd(), POLLIN, 0}};
    // Without a process handle the child's end is looked for every few milliseconds.
    int timeout = poll_timeout(deadline);
    if (exit_fd() < 0) timeout = std::min(timeout, 5);
    int ready = ::poll(fds, exit_fd() >= 0 ? 2 : 1, timeout);
    if (ready < 0 && errno != EINTR) return false;
    if (fds[0].revents != 0) {
      started_.reset();
      if (gate_ && while_held) while_held();
      gate_.reset();
      return true;
    }
    if (fds[1].revents != 0 || exited() || Clock::now() >= deadline) return false;
  }
  return true;
}

bool ChildProcess::freeze() { return sandbox_ && !reaped_ && sandbox_->freeze(pid_); }

void ChildProcess::thaw() {
  if (sandbox_ && !reaped_) sandbox_->thaw(pid_);
}

bool ChildProcess::memory_killed() const { return sandbox_ && sandbox_->memory_killed(); }

ExitStatus ChildProcess::reap() {
  if (reaped_) return *status_;
  // Out of the registry first: once reaped, the number may be given to an unrelated process,
  // which a signal handler killing the registered groups must not reach.
  unregister_group(pid_);
  int status = 0;
  while (::wait4(pid_, &status, 0, &usage_) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) {
    status_ = ExitStatus{false, WEXITSTATUS(status)};
  } else if (WIFSIGNALED(status)) {
    status_ = ExitStatus{true, WTERMSIG(status)};
  }
  reaped_ = true;
  exit_fd_.reset();
  if (sandbox_) sandbox_->close();
  return status_.value_or(ExitStatus{});
}

std::optional<long long> ChildProcess::peak_memory_kib() const {
  if (sandbox_) return sandbox_->peak_memory_kib();
  if (!reaped_) return std::nullopt;
  return usage_.ru_maxrss;  // in KiB on Linux
}

Milliseconds ChildProcess::cpu_time() const {
  using std::chrono::duration_cast;
  if (sandbox_) {
    if (auto counted = sandbox_->cpu_time()) return *counted;
    // Read from /proc while the tree lives. bwrap does not wait for the first process of its
    // sandbox, so what the kernel reports for bwrap at its end misses the tree: the last
    // reading stands (kill_group takes one).
    if (!reaped_) tree_cpu_time_ = std::max(tree_cpu_time_, sandbox::process_tree_cpu_time(pid_));
    return std::max(tree_cpu_time_, own_cpu_time());
  }
  return own_cpu_time();
}

Milliseconds ChildProcess::own_cpu_time() const {
  using std::chrono::duration_cast;
  if (reaped_) {
    auto total = std::chrono::seconds(usage_.ru_utime.tv_sec + usage_.ru_stime.tv_sec) +
                 std::chrono::microseconds(usage_.ru_utime.tv_usec + usage_.ru_stime.tv_usec);
    return duration_cast<Milliseconds>(total);
  }
  // Still running (or not yet reaped): the kernel's counters in clock ticks, fields 14 to 17
  // (utime, stime, cutime, cstime).
  std::vector<std::string> fields = proc_stat_fields(pid_);
  if (fields.size() < 15) return Milliseconds(0);
  long long total = 0;
  for (int field = 14; field <= 17; ++field) total += std::atoll(fields[field - 3].c_str());
  long ticks = ::sysconf(_SC_CLK_TCK);
  if (ticks <= 0) ticks = 100;
  return Milliseconds(total * 1000 / ticks);
}

}  // namespace arena
