#include "arena/sandbox/process_tree.h"

#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "arena/proc_stat.h"

namespace arena::sandbox {

Milliseconds process_tree_cpu_time(pid_t root) {
  struct Entry {
    pid_t parent = 0;
    long long ticks = 0;
  };
  std::map<pid_t, Entry> processes;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    pid_t pid = 0;
    auto [end, failure] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (failure != std::errc() || end != name.data() + name.size()) continue;
    // Fields 4 (parent) and 14 to 17 (utime, stime, cutime, cstime) of proc(5).
    std::vector<std::string> fields = proc_stat_fields(pid);
    if (fields.size() < 15) continue;
    Entry& e = processes[pid];
    e.parent = std::atoi(fields[1].c_str());
    for (int field = 14; field <= 17; ++field) e.ticks += std::atoll(fields[field - 3].c_str());
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
