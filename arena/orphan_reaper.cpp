#include "arena/orphan_reaper.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "arena/process_registry.h"

namespace arena {
namespace {

struct ProcState {
  char state = '?';
  pid_t parent = 0;
};

// State and parent of `pid` from /proc/PID/stat; parent 0 when it cannot be read. The command
// name in field 2 may hold blanks and parentheses, so the fields are counted from the last ')'.
ProcState state_of(const std::string& pid) {
  std::ifstream in("/proc/" + pid + "/stat");
  std::string stat;
  if (!std::getline(in, stat)) return {};
  auto close = stat.rfind(')');
  if (close == std::string::npos || close + 4 >= stat.size()) return {};
  ProcState result;
  result.state = stat[close + 2];
  std::string_view rest = std::string_view(stat).substr(close + 4);  // ") S " then the parent
  std::from_chars(rest.data(), rest.data() + rest.size(), result.parent);
  return result;
}

// Children of `self`; only those that have ended (zombies) when `ended_only`.
std::vector<pid_t> children_of(pid_t self, bool ended_only = false) {
  std::vector<pid_t> children;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    pid_t pid = 0;
    auto [end, failure] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (failure != std::errc() || end != name.data() + name.size()) continue;
    ProcState state = state_of(name);
    if (state.parent == self && (!ended_only || state.state == 'Z')) children.push_back(pid);
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
