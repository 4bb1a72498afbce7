#include "arena/sandbox/scratch_view.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "arena/system/bounded_read.h"
#include "arena/system/descriptor_io.h"
#include "arena/system/open_beneath.h"

namespace arena::sandbox {
namespace fs = std::filesystem;

namespace {

// How deep below the working directory the walk goes, and how many entries (directories
// included) it looks at in all: a player may leave a tree of millions of empty directories.
constexpr int kMaxDepth = 8;
constexpr std::size_t kMaxVisited = 10000;

// The first child of `pid`: bwrap's first process inside the sandbox, which sees its mounts.
std::optional<pid_t> first_child(pid_t pid) {
  std::string path = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children";
  std::string text = read_head(path, 64);
  pid_t child = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    child = child * 10 + (c - '0');
  }
  if (child <= 0) return std::nullopt;
  return child;
}

struct Walk {
  int top;  // the working directory
  std::size_t limit;
  std::size_t visited = 0;
  WrittenFiles found;
};

// The names in the directory `dir_fd`, sorted, as many as the walk may still look at.
std::vector<std::string> names_in(Walk& walk, int dir_fd, const fs::path* real_dir) {
  std::vector<std::string> names;
  for (std::string& name : arena::names_in(dir_fd).value_or(std::vector<std::string>{})) {
    // At the top, an entry of the real directory is shown read-only, not written by the player.
    if (real_dir != nullptr) {
      struct stat real {};
      if (::lstat((*real_dir / name).c_str(), &real) == 0) continue;
    }
    if (++walk.visited > kMaxVisited) {
      walk.found.more = true;
      break;
    }
    names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  return names;
}

void walk_dir(Walk& walk, const fs::path& relative, int depth, const fs::path* real_dir) {
  UniqueFd dir = open_beneath(walk.top, relative, O_RDONLY | O_DIRECTORY);
  if (!dir) return;
  for (const std::string& name : names_in(walk, dir.get(), real_dir)) {
    if (walk.found.files.size() >= walk.limit) {
      walk.found.more = true;
      return;
    }
    struct stat info {};
    if (::fstatat(dir.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    fs::path path = relative / name;
    if (S_ISDIR(info.st_mode)) {
      // Python's byte-code cache of the modules a script imports: written by the interpreter,
      // not by the player's author.
      if (name == "__pycache__") continue;
      if (depth < kMaxDepth) {
        walk_dir(walk, path, depth + 1, nullptr);
      } else {
        walk.found.more = true;
      }
      continue;
    }
    walk.found.files.push_back({path.string(), static_cast<std::uintmax_t>(info.st_size),
                                S_ISREG(info.st_mode), S_ISLNK(info.st_mode)});
  }
}

// The directory `name` below `at`, made when missing, of mode 0700 whatever the umask or an
// earlier copy left.
UniqueFd private_dir(int at, const fs::path& name) {
  if (::mkdirat(at, name.c_str(), 0700) != 0 && errno != EEXIST) return {};
  UniqueFd dir(::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (dir && ::fchmod(dir.get(), 0700) != 0) return {};
  return dir;
}

// The file `relative` below `root`, its directories made, created or emptied, of mode 0600.
UniqueFd private_file(int root, const fs::path& relative) {
  UniqueFd parent;
  int at = root;
  for (const fs::path& name : relative.parent_path()) {
    parent = private_dir(at, name);
    if (!parent) return {};
    at = parent.get();
  }
  UniqueFd file(::openat(at, relative.filename().c_str(),
                         O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (file && ::fchmod(file.get(), 0600) != 0) return {};
  return file;
}

}  // namespace

std::optional<ScratchView> ScratchView::open(pid_t bwrap_pid, const fs::path& workdir) {
  auto child = first_child(bwrap_pid);
  if (!child) return std::nullopt;
  UniqueFd root(::open(("/proc/" + std::to_string(*child) + "/root").c_str(),
                       O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!root) return std::nullopt;
  const fs::path inside = fs::absolute(workdir).lexically_normal();
  UniqueFd dir = open_within_root(root.get(), inside.relative_path(), O_PATH | O_DIRECTORY);
  if (!dir) return std::nullopt;
  return ScratchView(std::move(dir), workdir);
}

WrittenFiles ScratchView::written(std::size_t limit) const {
  Walk walk{dir_.get(), limit, 0, {}};
  walk_dir(walk, {}, 0, &workdir_);
  return walk.found;
}

std::uintmax_t ScratchView::copy(WrittenFiles& files, const fs::path& into,
                                 std::uintmax_t byte_limit) const {
  std::uintmax_t copied = 0;
  UniqueFd out;
  for (WrittenFile& file : files.files) {
    if (!file.regular) continue;
    // Looked at before it is opened: only a regular file is ever opened for reading, and no
    // pipe or device the player left.
    UniqueFd handle = open_beneath(dir_.get(), file.path, O_PATH);
    struct stat info {};
    if (!handle || ::fstat(handle.get(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    const auto length = static_cast<std::uintmax_t>(info.st_size);
    if (length > byte_limit - copied) {
      file.left_out = true;
      continue;
    }
    if (!out && !(out = private_dir(AT_FDCWD, into))) return copied;
    UniqueFd source(
        ::open(("/proc/self/fd/" + std::to_string(handle.get())).c_str(), O_RDONLY | O_CLOEXEC));
    UniqueFd target = source ? private_file(out.get(), file.path) : UniqueFd();
    if (target) copied += copy_bytes(source.get(), target.get(), length).bytes;
  }
  return copied;
}

}  // namespace arena::sandbox
