// Starting one child program in a process group of its own, watching for its end, killing the
// whole group and reaping it. A ChildProcess that goes out of scope kills its group and reaps
// the child, so no child of the arena outlives the object that started it.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "arena/deadline.h"
#include "arena/unique_fd.h"

namespace arena {

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
  // Descriptors that become the child's 0, 1 and 2; -1 gives it /dev/null.
  int stdin_fd = -1;
  int stdout_fd = -1;
  int stderr_fd = -1;
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
};

class ChildProcess {
 public:
  // Throws std::system_error when no process can be created. A program that cannot be
  // executed still gives a child: it writes the reason to its standard error and exits 127.
  explicit ChildProcess(const SpawnRequest& request);
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  pid_t pid() const { return pid_; }

  // Becomes readable when the child has ended; -1 when the kernel offers no process handles.
  int exit_fd() const { return exit_fd_.get(); }

  // How the child ended, or nothing while it runs. The child is left unreaped, so that its
  // process group cannot be taken over by another process before kill_group().
  std::optional<ExitStatus> exited();
  std::optional<ExitStatus> wait_exit(TimePoint deadline);

  void kill_group();
  // Waits for the child (which must have ended or been killed) and releases it.
  ExitStatus reap();

  // User plus system CPU time of the child and of the descendants it has waited for.
  Milliseconds cpu_time() const;
  bool reaped() const { return reaped_; }

 private:
  pid_t pid_ = -1;
  UniqueFd exit_fd_;
  std::optional<ExitStatus> status_;
  bool reaped_ = false;
  rusage usage_{};
};

}  // namespace arena
