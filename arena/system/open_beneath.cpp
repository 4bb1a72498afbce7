#include "arena/system/open_beneath.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>

namespace arena {
namespace fs = std::filesystem;

namespace {

// The name that stands for `root` itself: openat2() takes no empty path.
const char* path_of(const fs::path& relative) { return relative.empty() ? "." : relative.c_str(); }

// The result of openat2(), or nothing when the kernel lacks it (errno ENOSYS).
std::optional<UniqueFd> try_openat2(int root, const fs::path& relative, int flags,
                                    std::uint64_t resolve) {
#ifdef SYS_openat2
  open_how how{};
  how.flags = static_cast<std::uint64_t>(flags | O_CLOEXEC);
  how.resolve = resolve;
  long fd = ::syscall(SYS_openat2, root, path_of(relative), &how, sizeof how);
  if (fd >= 0 || errno != ENOSYS) return UniqueFd(static_cast<int>(fd));
#else
  (void)root, (void)relative, (void)flags, (void)resolve;
#endif
  return std::nullopt;
}

// One name at a time, none of them a link or "..".
UniqueFd open_by_names(int root, const fs::path& relative, int flags) {
  UniqueFd current;
  int at = root;
  std::string name = ".";
  for (auto part = relative.begin(); part != relative.end(); ++part) {
    if (part->empty() || *part == ".") continue;
    if (*part == "..") {
      errno = EXDEV;
      return {};
    }
    if (name != ".") {
      current = UniqueFd(::openat(at, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      if (!current) return {};
      at = current.get();
    }
    name = part->string();
  }
  return UniqueFd(::openat(at, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC));
}

}  // namespace

UniqueFd open_beneath(int root, const fs::path& relative, int flags) {
  constexpr std::uint64_t kNothingFollowed =
      RESOLVE_IN_ROOT | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS | RESOLVE_NO_XDEV;
  if (auto fd = try_openat2(root, relative, flags | O_NOFOLLOW, kNothingFollowed)) {
    return std::move(*fd);
  }
  return open_by_names(root, relative, flags);
}

UniqueFd open_within_root(int root, const fs::path& relative, int flags) {
  if (auto fd = try_openat2(root, relative, flags, RESOLVE_IN_ROOT | RESOLVE_NO_MAGICLINKS)) {
    return std::move(*fd);
  }
  return open_by_names(root, relative, flags);
}

}  // namespace arena
