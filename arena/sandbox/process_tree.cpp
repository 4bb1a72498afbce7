#include "arena/sandbox/process_tree.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "arena/system/proc_stat.h"

namespace arena::sandbox {

Milliseconds process_tree_cpu_time(pid_t root) {
  struct Entry {
    pid_t parent = 0;
    long long ticks = 0;
  };
  std::map<pid_t, Entry> processes;
  // Fields 4 (parent) and 14 to 17 (utime, stime, cutime, cstime) of proc(5).
  for (const ProcessStat& process : all_process_stats()) {
    if (process.fields.size() < 15) continue;
    Entry& e = processes[process.pid];
    e.parent = std::atoi(process.fields[1].c_str());
    for (int field = 14; field <= 17; ++field) {
      e.ticks += std::atoll(process.fields[field - 3].c_str());
    }
  }
  std::map<pid_t, std::vector<pid_t>> children;
  for (const auto& [pid, e] : processes) children[e.parent].push_back(pid);
  long long ticks = 0;
  std::vector<pid_t> todo;
  if (processes.count(root)) todo.push_back(root);
  // Bounded by the number of processes seen, even should reused numbers make a cycle.
  for (std::size_t steps = 0; !todo.empty() && steps <= processes.size(); ++steps) {
    pid_t pid = todo.back();
    todo.pop_back();
    ticks += processes[pid].ticks;
    for (pid_t child : children[pid]) todo.push_back(child);
  }
  long per_second = ::sysconf(_SC_CLK_TCK);
  if (per_second <= 0) per_second = 100;
  return Milliseconds(ticks * 1000 / per_second);
}

namespace {

struct Descendant {
  pid_t pid;
  bool stopped;
};

std::vector<Descendant> descendants(pid_t root) {
  std::map<pid_t, std::vector<Descendant>> children;
  for (const ProcessStat& process : all_process_stats()) {
    if (process.fields.size() < 2) continue;
    // Fields 3 (state: T stopped, t traced) and 4 (parent) of proc(5).
    bool stopped = process.fields[0] == "T" || process.fields[0] == "t";
    children[std::atoi(process.fields[1].c_str())].push_back({process.pid, stopped});
  }
  std::vector<Descendant> found;
  std::vector<pid_t> todo = {root};
  while (!todo.empty() && found.size() < 100000) {
    pid_t pid = todo.back();
    todo.pop_back();
    for (const Descendant& child : children[pid]) {
      found.push_back(child);
      todo.push_back(child.pid);
    }
  }
  return found;
}

}  // namespace

bool stop_descendants(pid_t root) {
  for (int round = 0; round < 100; ++round) {
    bool all_stopped = true;
    for (const Descendant& process : descendants(root)) {
      if (process.stopped) continue;
      all_stopped = false;
      ::kill(process.pid, SIGSTOP);
    }
    if (all_stopped) return true;
  }
  return false;
}

void continue_descendants(pid_t root) {
  for (const Descendant& process : descendants(root)) ::kill(process.pid, SIGCONT);
}

}  // namespace arena::sandbox
