#include "arena/process/orphan_reaper.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "arena/process/process_registry.h"
#include "arena/system/proc_stat.h"

namespace arena {
namespace {

// Children of `self`; only those that have ended (zombies) when `ended_only`.
std::vector<pid_t> children_of(pid_t self, bool ended_only = false) {
  std::vector<pid_t> children;
  for (const ProcessStat& process : all_process_stats()) {
    if (std::atoi(process.fields[1].c_str()) != self) continue;
    if (!ended_only || process.fields[0] == "Z") children.push_back(process.pid);
  }
  return children;
}

void reap_exited() {
  while (::waitpid(-1, nullptr, WNOHANG) > 0) {
  }
}

}  // namespace

void adopt_orphans() { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }

void reap_ended_orphans() {
  for (pid_t orphan : children_of(::getpid(), true)) {
    if (!is_registered(orphan)) ::waitpid(orphan, nullptr, WNOHANG);
  }
}

void kill_remaining_children() {
  const pid_t self = ::getpid();
  // Bounded: a process that keeps forking is killed a generation per round.
  for (int round = 0; round < 64; ++round) {
    reap_exited();
    std::vector<pid_t> children = children_of(self);
    if (children.empty()) return;
    for (pid_t child : children) ::kill(child, SIGKILL);
    for (pid_t child : children) ::waitpid(child, nullptr, 0);
  }
}

}  // namespace arena
