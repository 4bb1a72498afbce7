#include "arena/sandbox/process_tree.h"

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

}  // namespace arena::sandbox
