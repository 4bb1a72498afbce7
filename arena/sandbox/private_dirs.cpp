#include "arena/sandbox/private_dirs.h"

#include <fcntl.h>
#include <linux/mount.h>
#include <pwd.h>
#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <system_error>

#include "arena/sandbox/bwrap_command.h"
#include "arena/sandbox/cgroup_files.h"
#include "arena/sandbox/host_support.h"
#include "arena/sandbox/permission_bits.h"

namespace arena::sandbox {
namespace fs = std::filesystem;

namespace {

// Whether `who` may list and enter `dir` itself.
bool opens(const fs::path& dir, const Identity& who) {
  std::optional<FileAccess> access = access_along(dir, dir, who);
  return access && access->read && access->run;
}

void write_map(pid_t pid, const char* file, unsigned long from, unsigned long to) {
  fs::path path = fs::path("/proc") / std::to_string(pid) / file;
  std::ofstream out(path);
  out << from << ' ' << to << " 1\n" << std::flush;
  if (!out) throw SandboxError("cannot write " + path.string() + ": " + errno_text());
}

// A user namespace whose only mapping takes `owner` (and `group`) to the seat's user: the
// idmapping of a private directory. A short-lived child holds the namespace while it is set up.
UniqueFd idmapping(uid_t owner, gid_t group, const Identity& seat) {
  int gate[2];
  if (::pipe2(gate, O_CLOEXEC) != 0) throw SandboxError("cannot make a pipe: " + errno_text());
  UniqueFd gate_read(gate[0]), gate_write(gate[1]);
  long pid = ::syscall(SYS_clone, CLONE_NEWUSER | SIGCHLD, nullptr, nullptr, nullptr, nullptr);
  if (pid == 0) {
    char byte;
    ::close(gate[1]);
    [[maybe_unused]] ssize_t ignored = ::read(gate[0], &byte, 1);
    ::_exit(0);
  }
  if (pid < 0) throw SandboxError("cannot make a user namespace: " + errno_text());
  gate_read.reset();
  UniqueFd space;
  std::string failure;
  try {
    write_map(static_cast<pid_t>(pid), "uid_map", owner, seat.uid);
    write_map(static_cast<pid_t>(pid), "gid_map", group, seat.gid);
    fs::path ns = fs::path("/proc") / std::to_string(pid) / "ns/user";
    space.reset(::open(ns.c_str(), O_RDONLY | O_CLOEXEC));
    if (!space) failure = "cannot open " + ns.string() + ": " + errno_text();
  } catch (const SandboxError& error) {
    failure = error.what();
  }
  gate_write.reset();
  while (::waitpid(static_cast<pid_t>(pid), nullptr, 0) < 0 && errno == EINTR) {
  }
  if (!failure.empty()) throw SandboxError(failure);
  return space;
}

// Whether `dir` is the home directory of `owner` (or root's, /root): shown idmapped, all of
// its owner's files there would be the player's to read.
bool is_home_directory(const fs::path& dir, uid_t owner) {
  if (dir == "/root") return true;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(owner, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) {
    return false;
  }
  std::error_code error;
  return fs::equivalent(dir, found->pw_dir, error);
}

UniqueFd clone_tree(const fs::path& dir, bool idmapped, const StagedDir& staged,
                    const Identity& seat) {
  UniqueFd tree(static_cast<int>(
      ::syscall(SYS_open_tree, AT_FDCWD, dir.c_str(), OPEN_TREE_CLONE | OPEN_TREE_CLOEXEC)));
  if (!tree) {
    throw SandboxError("cannot clone the mount of " + dir.string() + " (" + errno_text() +
                       "; this needs Linux 5.2)");
  }
  UniqueFd space;
  mount_attr attr{};
  attr.attr_set = MOUNT_ATTR_RDONLY | MOUNT_ATTR_NOSUID | MOUNT_ATTR_NODEV;
  if (idmapped) {
    space = idmapping(staged.owner, staged.owner_group, seat);
    attr.attr_set |= MOUNT_ATTR_IDMAP;
    attr.userns_fd = static_cast<__u64>(space.get());
  }
  if (::syscall(SYS_mount_setattr, tree.get(), "", AT_EMPTY_PATH, &attr, sizeof attr) != 0) {
    throw SandboxError(
        "cannot show " + dir.string() + (idmapped ? " idmapped" : " read-only") + " (" +
        errno_text() +
        (idmapped ? "; this needs Linux 5.12 and a file system that supports it" : "") +
        "); make it and the directories above it readable for others "
        "(chmod o+rx)");
  }
  return tree;
}

}  // namespace

PrivateDirs::PrivateDirs(const std::vector<fs::path>& shown, const Identity& identity) {
  try {
    stage(shown, identity);
  } catch (...) {
    // A constructor that throws gets no destructor call: the staging directory goes here.
    std::error_code ignored;
    if (!dir_.empty()) fs::remove_all(dir_, ignored);
    throw;
  }
}

void PrivateDirs::stage(const std::vector<fs::path>& shown, const Identity& identity) {
  for (const fs::path& given : shown) {
    fs::path dir = normal_absolute(given);
    if (reachable(dir, identity)) continue;
    StagedDir staged;
    staged.shown = dir;
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0) {
      throw SandboxError("no such directory to show: " + dir.string());
    }
    staged.idmapped = !opens(dir, identity);
    if (staged.idmapped && is_home_directory(dir, st.st_uid)) {
      throw SandboxError(dir.string() +
                         " is a home directory: shown to the player it would show every private "
                         "file of its owner; give the bot a directory of its own");
    }
    staged.owner = st.st_uid;
    staged.owner_group = st.st_gid;
    staged.point = next_point();
    trees_.push_back(clone_tree(dir, staged.idmapped, staged, identity));
    staged_.push_back(std::move(staged));
  }
}

fs::path PrivateDirs::next_point() {
  if (dir_.empty()) {
    std::string pattern =
        (fs::temp_directory_path() / (std::string(kStagingDirPrefix) + "XXXXXX")).string();
    if (!::mkdtemp(pattern.data()) || ::chmod(pattern.c_str(), 0711) != 0) {
      throw SandboxError("cannot make a staging directory: " + errno_text());
    }
    dir_ = pattern;
  }
  fs::path point = dir_ / std::to_string(staged_.size());
  if (::mkdir(point.c_str(), 0755) != 0) {
    throw SandboxError("cannot make " + point.string() + ": " + errno_text());
  }
  return point;
}

void PrivateDirs::stage_tree(const fs::path& shown, int tree) {
  StagedDir staged;
  staged.shown = normal_absolute(shown);
  staged.point = next_point();
  UniqueFd own(::fcntl(tree, F_DUPFD_CLOEXEC, 0));
  if (!own) throw SandboxError("cannot keep a build's scratch area: " + errno_text());
  trees_.push_back(std::move(own));
  staged_.push_back(std::move(staged));
}

PrivateDirs::~PrivateDirs() {
  if (dir_.empty()) return;
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

std::vector<int> PrivateDirs::trees() const {
  std::vector<int> fds;
  for (const UniqueFd& tree : trees_) fds.push_back(tree.get());
  return fds;
}

bool attach_staged(const int* trees, const char* const* points, std::size_t count) {
  if (count == 0) return true;
  if (::unshare(CLONE_NEWNS) != 0) return false;
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
  for (std::size_t i = 0; i < count; ++i) {
    if (::syscall(SYS_move_mount, trees[i], "", AT_FDCWD, points[i], MOVE_MOUNT_F_EMPTY_PATH) !=
        0) {
      return false;
    }
  }
  return true;
}

bool shown_readable(const Policy& policy, const std::vector<StagedDir>& staged_dirs,
                    const fs::path& file, bool run) {
  if (!policy.identity) return true;
  const Identity& who = *policy.identity;
  fs::path path = normal_absolute(file);
  fs::path from = path.root_path();
  const StagedDir* through = nullptr;
  for (const StagedDir& staged : staged_dirs) {
    if (is_within(path, staged.shown) && path != staged.shown) {
      through = &staged;
      from = staged.shown;
    }
  }
  std::optional<FileAccess> access =
      access_along(from, path, who, through && through->idmapped ? through : nullptr);
  return access && access->read && (!run || access->run);
}

}  // namespace arena::sandbox
