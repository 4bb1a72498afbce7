#include "arena/system/descriptor_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace arena {

CopiedBytes copy_bytes(int from, int to, std::uintmax_t limit) {
  CopiedBytes copied;
  char buffer[64 * 1024];
  while (copied.bytes < limit) {
    const auto want =
        static_cast<std::size_t>(std::min<std::uintmax_t>(sizeof buffer, limit - copied.bytes));
    ssize_t got = ::read(from, buffer, want);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return copied;
    if (got == 0) break;
    for (ssize_t done = 0; done < got;) {
      ssize_t put = ::write(to, buffer + done, static_cast<std::size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) return copied;
      done += put;
      copied.bytes += static_cast<std::uintmax_t>(put);
    }
  }
  copied.complete = true;
  return copied;
}

std::optional<std::vector<std::string>> names_in(int dir_fd) {
  // The directory stream owns a descriptor of its own, which it closes.
  const int own = ::openat(dir_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* listing = own < 0 ? nullptr : ::fdopendir(own);
  if (listing == nullptr) {
    const int cause = errno;
    if (own >= 0) ::close(own);
    errno = cause;
    return std::nullopt;
  }
  std::vector<std::string> names;
  while (dirent* item = ::readdir(listing)) {
    std::string name = item->d_name;
    if (name != "." && name != "..") names.push_back(std::move(name));
  }
  ::closedir(listing);
  return names;
}

}  // namespace arena
