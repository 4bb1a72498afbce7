#include "arena/sandbox/scratch_view.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>

#include "arena/system/bounded_read.h"

namespace arena::sandbox {
namespace fs = std::filesystem;

namespace {

// How deep below the working directory the walk goes.
constexpr int kMaxDepth = 8;

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

// Opens `relative` (names from a walk of the view, never "..") below `dir` one name at a time,
// following no link.
UniqueFd open_below(int dir, const fs::path& relative, int flags) {
  UniqueFd current(::fcntl(dir, F_DUPFD_CLOEXEC, 0));
  auto part = relative.begin();
  while (current && part != relative.end()) {
    const bool last = std::next(part) == relative.end();
    int how = O_NOFOLLOW | O_CLOEXEC | (last ? flags : O_RDONLY | O_DIRECTORY);
    current = UniqueFd(::openat(current.get(), part->c_str(), how));
    ++part;
  }
  return current;
}

struct Walk {
  std::size_t limit;
  WrittenFiles found;
};

void walk(int dir_fd, const fs::path& relative, int depth, Walk& walk_state,
          const fs::path* real_dir) {
  // The directory stream owns the descriptor from here on.
  const int listing = ::openat(dir_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) return;
  DIR* dir = ::fdopendir(listing);
  if (dir == nullptr) {
    ::close(listing);
    return;
  }
  std::vector<std::string> names;
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    // At the top, an entry of the real directory is shown read-only, not written by the player.
    if (real_dir != nullptr) {
      struct stat real {};
      if (::lstat((*real_dir / name).c_str(), &real) == 0) continue;
    }
    names.push_back(std::move(name));
    if (names.size() > walk_state.limit) break;
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (walk_state.found.files.size() >= walk_state.limit) {
      walk_state.found.more = true;
      return;
    }
    struct stat info {};
    if (::fstatat(dir_fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    fs::path path = relative / name;
    if (S_ISDIR(info.st_mode)) {
      // Python's byte-code cache of the modules a script imports: written by the interpreter,
      // not by the player's author.
      if (name == "__pycache__") continue;
      UniqueFd sub(::openat(dir_fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      if (sub && depth < kMaxDepth) walk(sub.get(), path, depth + 1, walk_state, nullptr);
      continue;
    }
    walk_state.found.files.push_back(
        {path.string(), static_cast<std::uintmax_t>(info.st_size), S_ISREG(info.st_mode)});
  }
}

}  // namespace

std::optional<ScratchView> ScratchView::open(pid_t bwrap_pid, const fs::path& workdir) {
  auto child = first_child(bwrap_pid);
  if (!child) return std::nullopt;
  fs::path inside = "/proc/" + std::to_string(*child) + "/root" + workdir.string();
  UniqueFd dir(::open(inside.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!dir) return std::nullopt;
  return ScratchView(std::move(dir), workdir);
}

WrittenFiles ScratchView::written(std::size_t limit) const {
  Walk state{limit, {}};
  UniqueFd top(::openat(dir_.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (top) walk(top.get(), {}, 0, state, &workdir_);
  return state.found;
}

std::uintmax_t ScratchView::copy(const WrittenFiles& files, const fs::path& into,
                                 std::uintmax_t byte_limit) const {
  std::uintmax_t copied = 0;
  for (const WrittenFile& file : files.files) {
    if (!file.regular || copied >= byte_limit) continue;
    UniqueFd source = open_below(dir_.get(), file.path, O_RDONLY | O_NONBLOCK);
    struct stat info {};
    if (!source || ::fstat(source.get(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    fs::path target = into / file.path;
    std::error_code error;
    fs::create_directories(target.parent_path(), error);
    UniqueFd out(
        ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!out) continue;
    char buffer[1 << 16];
    while (copied < byte_limit) {
      std::size_t want =
          static_cast<std::size_t>(std::min<std::uintmax_t>(sizeof buffer, byte_limit - copied));
      ssize_t got = ::read(source.get(), buffer, want);
      if (got <= 0) break;
      if (::write(out.get(), buffer, static_cast<std::size_t>(got)) != got) break;
      copied += static_cast<std::uintmax_t>(got);
    }
  }
  return copied;
}

}  // namespace arena::sandbox
