#include "arena/sandbox/bwrap_command.h"

#include <sys/stat.h>

#include <algorithm>
#include <system_error>

#include "arena/sandbox/player_fifos.h"
#include "arena/sandbox/private_dirs.h"
#include "arena/sandbox/syscall_filter.h"

namespace arena::sandbox {
namespace fs = std::filesystem;

namespace {

using Args = std::vector<std::string>;

void add(Args& args, std::initializer_list<std::string> words) {
  args.insert(args.end(), words.begin(), words.end());
}

bool is_a_directory(const fs::path& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

// Own user, PID, network (a loopback of its own), IPC and host name namespaces; no namespaces
// of its own inside, so the kernel's namespace code is out of the player's reach.
void namespaces(Args& args) {
  add(args, {"--unshare-user", "--disable-userns", "--unshare-pid", "--unshare-net",
             "--unshare-ipc", "--unshare-uts", "--hostname", "zarvo", "--unshare-cgroup-try"});
}

// The sandbox dies with the arena's child, and no process in it shares the arena's session
// (no terminal to push input into).
void lifetime(Args& args) { add(args, {"--die-with-parent", "--new-session"}); }

// /usr, /etc and /opt read-only; the top-level links into /usr (/bin, /lib, ...) as links, or
// read-only where they are real directories.
void system_dirs(Args& args) {
  for (const char* top : {"/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32"}) {
    std::error_code error;
    fs::file_status status = fs::symlink_status(top, error);
    if (error || !fs::exists(status)) continue;
    if (fs::is_symlink(status)) {
      add(args, {"--symlink", fs::read_symlink(top, error).string(), top});
    } else if (fs::is_directory(status)) {
      add(args, {"--ro-bind", top, top});
    }
  }
  for (const fs::path& dir : system_directories()) {
    if (is_a_directory(dir)) add(args, {"--ro-bind", dir.string(), dir.string()});
  }
}

// A /proc of the player's own PID namespace and a minimal /dev (null, zero, random, ...).
void kernel_filesystems(Args& args) { add(args, {"--proc", "/proc", "--dev", "/dev"}); }

void scratch(Args& args, const Policy& policy, const std::string& where) {
  add(args, {"--size", std::to_string(policy.scratch_mb * 1024 * 1024), "--tmpfs", where});
}

// A private /tmp, /dev/shm and HOME, empty at the start and thrown away at the end.
void scratch_areas(Args& args, const Policy& policy) {
  scratch(args, policy, "/tmp");
  scratch(args, policy, "/dev/shm");
  scratch(args, policy, kSandboxHome);
}

// Where bwrap finds a shown path: at its own path, or through the staging point of the private
// directory that holds it (see private_dirs.h).
std::string source_of(const SandboxSetup& setup, const fs::path& path) {
  const StagedDir* nearest = nullptr;
  for (const StagedDir& staged : setup.staged) {
    if (is_within(path, staged.shown) && (!nearest || is_within(staged.shown, nearest->shown))) {
      nearest = &staged;
    }
  }
  if (!nearest) return path.string();
  return (nearest->point / path.lexically_relative(nearest->shown)).lexically_normal().string();
}

// The working directory at its own path: writable when the policy says so (an entry being
// built, from its scratch area). Otherwise a fresh scratch area in which every entry of the real
// directory is shown read-only (links as links), but those left out. The player may add files; they
// vanish with the sandbox. A directory inside the system directories is simply visible, read-only.
void working_directory(Args& args, const Policy& policy, const SandboxSetup& setup,
                       const fs::path& workdir) {
  if (policy.workdir_writable) {
    add(args, {"--bind", source_of(setup, workdir), workdir.string()});
    return;
  }
  for (const fs::path& dir : system_directories()) {
    if (is_within(workdir, dir)) return;
  }
  std::vector<fs::path> hidden;
  for (const fs::path& path : policy.hidden) hidden.push_back(normal_absolute(path));
  std::vector<fs::directory_entry> entries;
  std::error_code error;
  for (fs::directory_iterator it(workdir, error), end; !error && it != end; it.increment(error)) {
    if (entries.size() == kMaxWorkdirEntries) {
      throw SandboxError("the working directory " + workdir.string() + " holds more than " +
                         std::to_string(kMaxWorkdirEntries) +
                         " entries; give the player a smaller one");
    }
    if (!left_out_of_workdir(it->path(), hidden)) entries.push_back(*it);
  }
  if (error) {
    throw SandboxError("cannot list the working directory " + workdir.string() + ": " +
                       error.message());
  }
  std::sort(entries.begin(), entries.end());
  scratch(args, policy, workdir.string());
  for (const fs::directory_entry& entry : entries) {
    std::string path = entry.path().string();
    if (entry.is_symlink(error)) {
      add(args, {"--symlink", fs::read_symlink(entry.path(), error).string(), path});
    } else {
      // An entry that goes away before bwrap comes to it is simply not there.
      add(args, {"--ro-bind-try", source_of(setup, entry.path()), path});
    }
  }
}

// The read-only directories and the working directory, a directory before any that lies
// within it, so that none is covered by a later mount (a program directory inside the working
// directory's scratch area stays visible, and so does a working directory inside a read-only
// one).
void bind_shown_dirs(Args& args, const Policy& policy, const SandboxSetup& setup,
                     const fs::path& workdir) {
  std::vector<fs::path> dirs;
  for (const fs::path& given : policy.readonly_dirs) {
    fs::path dir = normal_absolute(given);
    if (!is_a_directory(dir)) throw SandboxError("no such directory to show: " + dir.string());
    dirs.push_back(dir);
  }
  auto depth = [](const fs::path& dir) { return std::distance(dir.begin(), dir.end()); };
  std::stable_sort(dirs.begin(), dirs.end(),
                   [&](const fs::path& a, const fs::path& b) { return depth(a) < depth(b); });
  bool workdir_shown = false;
  for (const fs::path& dir : dirs) {
    if (!workdir_shown && depth(dir) > depth(workdir)) {
      working_directory(args, policy, setup, workdir);
      workdir_shown = true;
    }
    add(args, {"--ro-bind", source_of(setup, dir), dir.string()});
  }
  if (!workdir_shown) working_directory(args, policy, setup, workdir);
}

// Other players' directories that a shown directory would show: each covered by an empty,
// read-only directory. Within a working directory shown entry by entry they are left out
// instead (see `hidden`).
void covered_dirs(Args& args, const Policy& policy, const fs::path& workdir) {
  std::vector<fs::path> shown = policy.readonly_dirs;
  bool workdir_in_system = false;
  for (const fs::path& dir : system_directories()) {
    shown.push_back(dir);
    workdir_in_system = workdir_in_system || is_within(workdir, dir);
  }
  if (workdir_in_system) shown.push_back(workdir);
  for (const fs::path& given : policy.covered) {
    fs::path dir = normal_absolute(given);
    if (!is_a_directory(dir)) continue;
    if (!workdir_in_system && is_within(dir, workdir)) continue;
    bool inside_another =
        std::any_of(policy.covered.begin(), policy.covered.end(), [&](auto& other) {
          fs::path outer = normal_absolute(other);
          return outer != dir && is_within(dir, outer);
        });
    if (inside_another) continue;
    bool visible = std::any_of(shown.begin(), shown.end(), [&](const fs::path& top) {
      return is_within(dir, normal_absolute(top));
    });
    if (visible) add(args, {"--tmpfs", dir.string(), "--remount-ro", dir.string()});
  }
}

// The player's named pipes, at a fixed path.
void player_fifos(Args& args, const SandboxSetup& setup) {
  if (setup.fifo_dir.empty()) return;
  add(args, {"--ro-bind", setup.fifo_dir.string(), kSandboxFifos});
}

// Nothing can be written outside the scratch areas: the sandbox's own root and /dev become
// read-only once every mount point is made (devices stay usable).
void seal(Args& args) { add(args, {"--remount-ro", "/dev", "--remount-ro", "/"}); }

void environment(Args& args, const Policy& policy) {
  add(args, {"--clearenv", "--setenv", "PATH", kSandboxPath, "--setenv", "HOME", kSandboxHome,
             "--setenv", "LANG", "C.UTF-8"});
  for (const auto& [name, value] : policy.env) add(args, {"--setenv", name, value});
}

// The system-call filter, which the spawn path hands to bwrap as descriptor kSyscallFilterFd.
void syscall_filter(Args& args, const Policy& policy) {
  if (policy.syscall_filter) add(args, {"--seccomp", std::to_string(kSyscallFilterFd)});
}

}  // namespace

bool left_out_of_workdir(const fs::path& entry, const std::vector<fs::path>& hidden) {
  const std::string name = entry.filename().string();
  if (name.starts_with(kScratchDirPrefix) || name.starts_with(kPipesDirPrefix) ||
      name.starts_with(kStagingDirPrefix)) {
    return true;
  }
  for (const fs::path& path : hidden) {
    if (is_within(path, entry)) return true;
  }
  return false;
}

fs::path normal_absolute(const fs::path& path) {
  fs::path normal = fs::absolute(path).lexically_normal();
  if (normal.has_relative_path() && !normal.has_filename()) normal = normal.parent_path();
  return normal;
}

const std::vector<fs::path>& system_directories() {
  static const std::vector<fs::path> dirs = {"/usr", "/etc", "/opt"};
  return dirs;
}

bool is_within(const fs::path& path, const fs::path& dir) {
  auto [end, ignored] = std::mismatch(dir.begin(), dir.end(), path.begin(), path.end());
  return end == dir.end();
}

std::vector<std::string> bwrap_command(const Policy& policy, const fs::path& program,
                                       const std::vector<std::string>& args,
                                       const SandboxSetup& setup) {
  if (policy.workdir.empty()) throw SandboxError("no working directory for the player");
  fs::path workdir = normal_absolute(policy.workdir);
  if (workdir == workdir.root_path()) throw SandboxError("the working directory cannot be /");
  if (!is_a_directory(workdir)) throw SandboxError("no such directory: " + workdir.string());

  Args command = {setup.bwrap.string()};
  namespaces(command);
  lifetime(command);
  system_dirs(command);
  kernel_filesystems(command);
  scratch_areas(command, policy);
  bind_shown_dirs(command, policy, setup, workdir);
  covered_dirs(command, policy, workdir);
  player_fifos(command, setup);
  seal(command);
  environment(command, policy);
  syscall_filter(command, policy);
  add(command, {"--chdir", workdir.string(), "--"});
  if (!setup.fifo_dir.empty()) {
    add(command, {"/bin/sh", "-c", fifo_entry_script()});
    // The gate's end is closed before the program runs: it is the arena's, not the player's.
    if (setup.held_at_start) {
      const std::string gate = std::to_string(kStartGateFd);
      add(command,
          {"/bin/sh", "-c", "read gate <&" + gate + "; exec " + gate + "<&- \"$0\" \"$@\""});
    }
  }
  if (setup.processes_by_rlimit && policy.limits.processes > 0) {
    std::string limit = std::to_string(policy.limits.processes);
    add(command, {kPrlimit, "--nproc=" + limit + ":" + limit, "--"});
  }
  command.push_back(normal_absolute(program).string());
  if (args.size() > 1) command.insert(command.end(), args.begin() + 1, args.end());
  return command;
}

}  // namespace arena::sandbox
