#include "arena/sandbox/host_support.h"

#include <unistd.h>

#include <fstream>
#include <system_error>

#include "arena/sandbox/permission_bits.h"

namespace arena::sandbox {
namespace fs = std::filesystem;

namespace {

long read_number(const fs::path& file) {
  std::ifstream in(file);
  long value = -1;
  if (!(in >> value)) return -1;
  return value;
}

std::optional<fs::path> find_bwrap() {
  const char* search = std::getenv("PATH");
  std::string dirs = search ? search : "";
  dirs += ":/usr/bin:/bin";
  std::size_t begin = 0;
  while (begin <= dirs.size()) {
    std::size_t end = dirs.find(':', begin);
    if (end == std::string::npos) end = dirs.size();
    fs::path dir = dirs.substr(begin, end - begin);
    if (dir.is_absolute()) {
      fs::path candidate = dir / "bwrap";
      if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    begin = end + 1;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> HostSupport::problem() const {
  if (!bwrap) {
    return "bubblewrap (bwrap) is not installed (Debian package bubblewrap)";
  }
  if (max_user_namespaces == 0) {
    return "user namespaces are switched off (/proc/sys/user/max_user_namespaces is 0)";
  }
  if (read_number("/proc/sys/kernel/unprivileged_userns_clone") == 0) {
    return "unprivileged user namespaces are switched off "
           "(/proc/sys/kernel/unprivileged_userns_clone is 0)";
  }
  return std::nullopt;
}

HostSupport look_at_host() {
  HostSupport host;
  host.bwrap = find_bwrap();
  host.max_user_namespaces = read_number("/proc/sys/user/max_user_namespaces");
  host.root = ::geteuid() == 0;
  host.cgroups = find_cgroup_layout();
  return host;
}

const HostSupport& host_support() {
  static const HostSupport host = look_at_host();
  return host;
}

std::vector<LimitNote> limit_notes(const CgroupLayout& cgroups) {
  const std::string by = "cgroup " + version_name(cgroups.version);
  std::vector<LimitNote> notes;
  if (!cgroups.memory.empty()) {
    notes.push_back({"memory: resident memory of the player's whole process tree (" + by +
                         " memory; a kill counts as CRASH)",
                     false,
                     {}});
  } else {
    notes.push_back(
        {"memory: WEAK: the address space of each process on its own (RLIMIT_AS), "
         "not resident memory and not the whole tree; a JVM needs a limit far "
         "above its heap",
         true, "memory per process only"});
  }
  if (!cgroups.pids.empty()) {
    notes.push_back({"processes: processes and threads of the whole process tree (" + by + " pids)",
                     false,
                     {}});
  } else {
    notes.push_back(
        {"processes: processes and threads of the sandbox (RLIMIT_NPROC, which the "
         "kernel counts per user namespace)",
         false,
         {}});
  }
  if (!cgroups.freezer.empty()) {
    notes.push_back({"idle player: its whole process tree frozen while the opponent thinks (" + by +
                         (cgroups.version == CgroupVersion::kV1 ? " freezer)" : " cgroup.freeze)"),
                     false,
                     {}});
  } else {
    notes.push_back(
        {"idle player: WEAK: stopped with SIGSTOP (every process of its PID namespace) while the "
         "opponent thinks and continued with SIGCONT, which a player can notice",
         true, "idle players stopped with SIGSTOP"});
  }
  if (!cgroups.cpu.empty()) {
    notes.push_back({"CPU time: of the whole process tree (" + by +
                         (cgroups.version == CgroupVersion::kV1 ? " cpuacct)" : " cpu.stat)"),
                     false,
                     {}});
  } else {
    notes.push_back(
        {"CPU time: of the whole process tree, read from /proc (its live processes "
         "and what they waited for)",
         false,
         {}});
  }
  return notes;
}

bool reachable(const fs::path& path, const Identity& identity, bool run) {
  fs::path absolute = fs::absolute(path).lexically_normal();
  std::optional<FileAccess> access = access_along(absolute.root_path(), absolute, identity);
  if (!access) return false;
  if (access->directory) return access->read && access->run;
  return !run || access->run;
}

}  // namespace arena::sandbox
