#include "arena/entry/entry_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "arena/entry/entry_file.h"
#include "arena/system/descriptor_io.h"
#include "arena/system/unique_fd.h"

namespace arena::entry {

namespace {

// Deeper than any entrant's sources; a build that nests further fails rather than exhausting
// the arena's stack or descriptors.
constexpr int kMaxDepth = 64;
// What of a file's mode comes back into the entry: no setuid, setgid or sticky bit, no write
// for group or others.
constexpr mode_t kKeptMode = 0755;
// The name a file is written under before it is renamed into place.
constexpr const char* kPartName = ".zarvo-copy.part";

[[noreturn]] void fail(const std::string& what, const std::string& path) {
  throw std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

std::string joined(const std::string& prefix, const std::string& name) {
  return prefix.empty() ? name : prefix + "/" + name;
}

// The arena writes these itself, after the build.
bool arena_file(const std::string& path) { return path == kEntryFile || path == kBuildLog; }

std::vector<std::string> names_in(int dir, const std::string& path) {
  auto names = arena::names_in(dir);
  if (!names) fail("cannot list", path.empty() ? "." : path);
  return std::move(*names);
}

UniqueFd open_dir(int parent, const std::string& name) {
  return UniqueFd(::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

// A regular file, never a link or a FIFO put in its place (the open would block on one).
UniqueFd open_regular(int parent, const std::string& name) {
  UniqueFd fd(::openat(parent, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (fd && (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))) {
    errno = EINVAL;
    return UniqueFd();
  }
  return fd;
}

bool keep_times(int fd, const struct stat& st) {
  timespec times[2] = {st.st_atim, st.st_mtim};
  return ::futimens(fd, times) == 0;
}

std::string link_target(int dir, const std::string& name, const std::string& path) {
  std::vector<char> target(PATH_MAX + 1);
  ssize_t length = ::readlinkat(dir, name.c_str(), target.data(), target.size());
  if (length < 0 || static_cast<std::size_t>(length) >= target.size()) {
    fail("cannot read the link", path);
  }
  return std::string(target.data(), static_cast<std::size_t>(length));
}

// A link that cannot lead out of the entry wherever it lies in it: relative, without "..".
// (Followed through other such links, it still only descends.)
bool stays_inside(const std::string& target) {
  if (target.empty() || target.front() == '/') return false;
  for (std::size_t start = 0; start <= target.size();) {
    std::size_t end = target.find('/', start);
    if (end == std::string::npos) end = target.size();
    if (target.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  return true;
}

void check_depth(int depth) {
  if (depth > kMaxDepth) {
    throw std::runtime_error("directories nested more than " + std::to_string(kMaxDepth) + " deep");
  }
}

class SourceCopier {
 public:
  explicit SourceCopier(const std::optional<sandbox::Identity>& owner) : owner_(owner) {}

  void copy(int from, int to, const std::string& prefix, int depth) {
    check_depth(depth);
    for (const std::string& name : names_in(from, prefix)) {
      const std::string path = joined(prefix, name);
      if (arena_file(path)) continue;
      struct stat st {};
      if (::fstatat(from, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) fail("cannot read", path);
      if (S_ISDIR(st.st_mode)) {
        if (::mkdirat(to, name.c_str(), 0700) != 0) fail("cannot copy", path);
        UniqueFd source = open_dir(from, name);
        UniqueFd copy = open_dir(to, name);
        if (!source || !copy) fail("cannot copy", path);
        if (::fchmod(copy.get(), (st.st_mode & 0777) | 0700) != 0 || !give(copy.get())) {
          fail("cannot copy", path);
        }
        this->copy(source.get(), copy.get(), path, depth + 1);
      } else if (S_ISREG(st.st_mode)) {
        copy_file(from, to, name, path, st);
      } else if (S_ISLNK(st.st_mode)) {
        std::string target = link_target(from, name, path);
        if (::symlinkat(target.c_str(), to, name.c_str()) != 0) fail("cannot copy", path);
        if (owner_ &&
            ::fchownat(to, name.c_str(), owner_->uid, owner_->gid, AT_SYMLINK_NOFOLLOW) != 0) {
          fail("cannot copy", path);
        }
      }
      // Anything else (a FIFO, a socket, a device) is no source.
    }
  }

  CopiedSources take() { return std::move(copied_); }

 private:
  bool give(int fd) const { return !owner_ || ::fchown(fd, owner_->uid, owner_->gid) == 0; }

  void copy_file(int from, int to, const std::string& name, const std::string& path,
                 const struct stat& st) {
    UniqueFd source = open_regular(from, name);
    if (!source) fail("cannot read", path);
    UniqueFd copy(
        ::openat(to, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!copy || !copy_bytes(source.get(), copy.get()).complete ||
        ::fchmod(copy.get(), (st.st_mode & 0777) | 0600) != 0 || !keep_times(copy.get(), st) ||
        !give(copy.get())) {
      fail("cannot copy", path);
    }
    struct stat made {};
    if (::fstat(copy.get(), &made) != 0) fail("cannot copy", path);
    copied_.files[path] = {made.st_ino, made.st_ctim.tv_sec * 1000000000LL + made.st_ctim.tv_nsec};
  }

  std::optional<sandbox::Identity> owner_;
  CopiedSources copied_;
};

void measure(int dir, const std::string& prefix, int depth, std::size_t max_files, CopySize& size) {
  check_depth(depth);
  for (const std::string& name : names_in(dir, prefix)) {
    const std::string path = joined(prefix, name);
    if (++size.files > max_files) return;
    struct stat st {};
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) fail("cannot read", path);
    if (S_ISREG(st.st_mode)) size.bytes += static_cast<std::uintmax_t>(st.st_size);
    if (S_ISDIR(st.st_mode)) {
      UniqueFd sub = open_dir(dir, name);
      if (!sub) fail("cannot read", path);
      measure(sub.get(), path, depth + 1, max_files, size);
    }
  }
}

bool unchanged(const CopiedSources& sources, const std::string& path, const struct stat& st) {
  auto found = sources.files.find(path);
  return found != sources.files.end() && found->second.inode == st.st_ino &&
         found->second.changed_ns == st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec;
}

// Renames the part written into place, replacing whatever stands there (a link itself, never
// its target).
void put_in_place(int dir, const std::string& name, const std::string& path) {
  if (::renameat(dir, kPartName, dir, name.c_str()) != 0) {
    int saved = errno;
    ::unlinkat(dir, kPartName, 0);
    errno = saved;
    fail("cannot copy back", path);
  }
}

void clear_part(int dir) { ::unlinkat(dir, kPartName, 0); }

void copy_back(int from, int to, const std::string& prefix, int depth,
               const CopiedSources& sources) {
  check_depth(depth);
  for (const std::string& name : names_in(from, prefix)) {
    const std::string path = joined(prefix, name);
    if (arena_file(path) || name == kPartName) continue;
    struct stat st {};
    if (::fstatat(from, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) fail("cannot read", path);
    if (S_ISDIR(st.st_mode)) {
      bool made = ::mkdirat(to, name.c_str(), 0700) == 0;
      if (!made && errno != EEXIST) fail("cannot copy back", path);
      UniqueFd source = open_dir(from, name);
      UniqueFd target = open_dir(to, name);
      if (!source || !target) fail("cannot copy back", path);
      if (made && ::fchmod(target.get(), (st.st_mode & kKeptMode) | 0700) != 0) {
        fail("cannot copy back", path);
      }
      copy_back(source.get(), target.get(), path, depth + 1, sources);
    } else if (S_ISREG(st.st_mode)) {
      if (unchanged(sources, path, st)) continue;
      UniqueFd source = open_regular(from, name);
      if (!source) fail("cannot read", path);
      clear_part(to);
      UniqueFd part(
          ::openat(to, kPartName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
      if (!part) fail("cannot copy back", path);
      if (!copy_bytes(source.get(), part.get()).complete ||
          ::fchmod(part.get(), st.st_mode & kKeptMode) != 0 || !keep_times(part.get(), st)) {
        int saved = errno;
        clear_part(to);
        errno = saved;
        fail("cannot copy back", path);
      }
      put_in_place(to, name, path);
    } else if (S_ISLNK(st.st_mode)) {
      std::string target = link_target(from, name, path);
      if (!stays_inside(target)) continue;
      struct stat present {};
      if (::fstatat(to, name.c_str(), &present, AT_SYMLINK_NOFOLLOW) == 0 &&
          S_ISLNK(present.st_mode) && link_target(to, name, path) == target) {
        continue;
      }
      clear_part(to);
      if (::symlinkat(target.c_str(), to, kPartName) != 0) fail("cannot copy back", path);
      put_in_place(to, name, path);
    }
    // Whatever else the build left (a FIFO, a socket, a device) stays behind.
  }
}

}  // namespace

CopiedSources copy_sources(int entry_dir, int copy_dir,
                           const std::optional<sandbox::Identity>& owner) {
  SourceCopier copier(owner);
  copier.copy(entry_dir, copy_dir, "", 0);
  return copier.take();
}

CopySize measure_copy(int copy_dir, std::size_t max_files) {
  CopySize size;
  measure(copy_dir, "", 0, max_files, size);
  return size;
}

void copy_result(int copy_dir, int entry_dir, const CopiedSources& sources) {
  copy_back(copy_dir, entry_dir, "", 0, sources);
}

}  // namespace arena::entry
