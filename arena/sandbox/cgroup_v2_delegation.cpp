#include "arena/sandbox/cgroup_v2_delegation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "arena/sandbox/cgroup_files.h"
#include "arena/sandbox/sandbox_policy.h"
#include "arena/system/proc_stat.h"

namespace arena::sandbox {
namespace fs = std::filesystem;

namespace {

// This process and the arenas above it (a tournament), if they sit in `group`.
std::vector<pid_t> arenas_in(const fs::path& group, const fs::path& mount) {
  std::vector<pid_t> found;
  std::error_code error;
  const fs::path own_exe = fs::read_symlink("/proc/self/exe", error);
  for (pid_t pid = ::getpid(); pid > 1;) {
    const fs::path proc = "/proc/" + std::to_string(pid);
    if (fs::read_symlink(proc / "exe", error) != own_exe) break;
    std::string cgroups = read_text(proc / "cgroup");
    auto at = cgroups.find("0::");
    if (at == std::string::npos) break;
    std::string path = cgroups.substr(at + 3, cgroups.find('\n', at) - at - 3);
    if ((mount / fs::path(path).relative_path()).lexically_normal() == group) found.push_back(pid);
    std::vector<std::string> fields = proc_stat_fields(pid);
    if (fields.size() < 2) break;
    pid = std::atoi(fields[1].c_str());
  }
  return found;
}

}  // namespace

void delegate_v2_controllers(const CgroupLayout& layout) {
  static std::mutex mutex;
  static bool prepared = false;
  std::lock_guard lock(mutex);
  if (prepared) return;
  const fs::path base = !layout.memory.empty() ? layout.memory : layout.pids;
  if (base.empty()) {
    prepared = true;
    return;
  }
  std::string wanted;
  std::istringstream enabled(read_text(base / "cgroup.subtree_control"));
  std::set<std::string> on;
  for (std::string word; enabled >> word;) on.insert(word);
  if (!layout.memory.empty() && !on.count("memory")) wanted += "+memory ";
  if (!layout.pids.empty() && !on.count("pids")) wanted += "+pids ";
  if (wanted.empty()) {
    prepared = true;
    return;
  }
  wanted.pop_back();
  std::string failure;
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (base != layout.v2_mount) {
      fs::path leaf = base / kV2ArenaLeaf;
      if (::mkdir(leaf.c_str(), 0755) != 0 && errno != EEXIST) {
        throw SandboxError("cannot make " + leaf.string() + ": " + errno_text());
      }
      for (pid_t pid : arenas_in(base, layout.v2_mount)) {
        write_control(leaf / "cgroup.procs", std::to_string(pid));
      }
    }
    UniqueFd control = open_control(base / "cgroup.subtree_control", O_WRONLY);
    if (control && ::write(control.get(), wanted.data(), wanted.size()) ==
                       static_cast<ssize_t>(wanted.size())) {
      prepared = true;
      return;
    }
    failure = errno_text();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  throw SandboxError("cgroup v2: cannot hand the controllers (" + wanted + ") of " + base.string() +
                     " to the players' groups: " + failure +
                     "; other processes share the arena's group (run the arena in a group of "
                     "its own, e.g. systemd-run --user --scope -p Delegate=yes zarvo-arena ...)");
}

}  // namespace arena::sandbox
