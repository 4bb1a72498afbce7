// Starting one child program in a process group of its own, watching for its end, killing the
// whole group and reaping it. Every child of the arena (a referee, a player, a tournament's
// match) is started here; a request with a sandbox policy starts its program in a sandbox
// (arena/sandbox/), one step of the same path. A ChildProcess that goes out of scope kills its
// group (and its sandbox) and reaps the child, so no child of the arena outlives the object that
// started it. One process may outlive it, ended: bwrap ends without reaping the first process of
// its sandbox, which the kernel then hands to the nearest reaper of orphans. The match process
// is one (adopt_orphans) and reaps it.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "arena/sandbox/sandbox_policy.h"
#include "arena/sandbox/sandbox_setup.h"
#include "arena/system/deadline.h"
#include "arena/system/unique_fd.h"

namespace arena {
namespace sandbox {
class PlayerSandbox;
}

struct ExitStatus {
  bool signaled = false;
  int value = 0;  // the exit status, or the number of the signal that ended the process

  bool success() const { return !signaled && value == 0; }
  std::string describe() const;  // "exit status 3", "signal 9 (Killed)"
};

struct SpawnRequest {
  std::filesystem::path program;  // the file to execute; a relative path is taken from the
                                  // arena's working directory, not from `workdir`
  std::vector<std::string> args;  // the child's argv, args[0] included
  std::filesystem::path workdir;  // empty: the arena's own
  // The child's standard input and output are pipes whose other ends the caller takes with
  // take_input() and take_output(), or /dev/null. Its standard error goes to `error_file`
  // (created or emptied), or to /dev/null when that is empty. Nothing else reaches the child.
  bool pipe_input = false;
  bool pipe_output = false;
  std::filesystem::path error_file;
  std::size_t memory_limit_mb = 0;     // address space cap; 0: none
  std::size_t file_size_limit_mb = 0;  // largest file the child may write; 0: none
  // Control-group membership files (cgroup.procs) the child writes "0" to before it runs any
  // code of the program, so that everything it starts is counted in those groups.
  std::vector<int> join_fds;
  // The user and group the child takes (and no supplementary groups) before exec.
  struct Credentials {
    uid_t uid;
    gid_t gid;
  };
  std::optional<Credentials> run_as;
  // The child's out-of-memory score (-1000 to 1000, /proc/PID/oom_score_adj); empty: the
  // arena's own. Players raise theirs, so that the kernel ends a player first.
  std::optional<int> oom_score_adj;
  // Runs the program in a sandbox of this policy (arena/sandbox/): bubblewrap carries out the
  // policy, control groups limit and count the child's whole process tree, and a root arena's
  // child runs as the policy's unprivileged user. The sandbox's own limits stand in for
  // memory_limit_mb.
  std::optional<sandbox::Policy> sandbox;
  // With a sandbox whose working directory is writable: what it shows there instead of the
  // directory's own files (a build's copy of an entry).
  sandbox::WorkdirSource workdir_source;
  // A sandboxed child with piped output is held, once its sandbox is up, until wait_started()
  // has run its `while_held` step: the program starts only after that call.
  bool hold_at_start = false;
};

class ChildProcess {
 public:
  // Throws std::system_error when no process can be created, sandbox::SandboxError when its
  // sandbox cannot be made. A program that cannot be executed still gives a child: it writes
  // the reason to its standard error and exits 127.
  explicit ChildProcess(const SpawnRequest& request);
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  pid_t pid() const { return pid_; }

  // The write end of the child's input pipe, non-blocking, and the read end of its output
  // pipe; each can be taken once. Only the child holds the other ends, so its exit (or its
  // closing them) shows at once as a broken pipe or the end of its output.
  UniqueFd take_input() { return std::move(input_); }
  UniqueFd take_output() { return std::move(output_); }

  // Becomes readable when the child has ended; -1 when the kernel offers no process handles.
  int exit_fd() const { return exit_fd_.get(); }

  // How the child ended, or nothing while it runs. The child is left unreaped, so that its
  // process group cannot be taken over by another process before kill_group().
  std::optional<ExitStatus> exited();
  std::optional<ExitStatus> wait_exit(TimePoint deadline);

  // Kills the child's process group and, for a sandboxed child, every process of its sandbox.
  void kill_group();
  // Waits for the child (which must have ended or been killed) and releases it.
  ExitStatus reap();

  // User plus system CPU time: of a sandboxed child's whole process tree; of any other child
  // and the descendants it has waited for.
  Milliseconds cpu_time() const;
  bool sandboxed() const { return sandbox_ != nullptr; }
  // For a sandboxed child with piped output: waits until its sandbox is up and the program about
  // to start; false when bwrap ended first (it could not make the sandbox; its standard error
  // says why) or `deadline` passed. True at once for any other child. A child held at its start
  // runs `while_held` before any code of its program has run, then starts its program.
  bool wait_started(TimePoint deadline, const std::function<void()>& while_held = {});
  // A sandboxed child's whole process tree frozen while its opponent thinks, then thawed (see
  // PlayerSandbox::freeze); nothing for any other child.
  bool freeze();
  void thaw();

  // Whether the memory limit of the child's sandbox killed one of its processes.
  bool memory_killed() const;
  // Peak resident memory in KiB once reaped: a sandboxed tree's from its control group (nothing
  // without one), a plain process's from the kernel's count of it and its waited-for children.
  std::optional<long long> peak_memory_kib() const;

 private:
  pid_t pid_ = -1;
  UniqueFd input_;
  UniqueFd output_;
  UniqueFd exit_fd_;
  UniqueFd started_;  // a sandboxed child's pipe that shows its sandbox is up
  UniqueFd gate_;     // the writing end of the gate its program waits at (hold_at_start)
  std::optional<ExitStatus> status_;
  bool reaped_ = false;
  rusage usage_{};
  std::unique_ptr<sandbox::PlayerSandbox> sandbox_;
  mutable Milliseconds tree_cpu_time_{0};  // a sandboxed tree's last reading from /proc

  // Of the child and the descendants it has waited for.
  Milliseconds own_cpu_time() const;
};

}  // namespace arena
