#include "arena/process/pipe_writer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace arena {

void set_nonblocking(int fd) {
  int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

void ignore_broken_pipes() { ::signal(SIGPIPE, SIG_IGN); }

bool write_before(int fd, std::string_view data, TimePoint deadline) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n > 0) {
      data.remove_prefix(static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return false;  // EPIPE: the reader has gone
    pollfd p{fd, POLLOUT, 0};
    int ready = ::poll(&p, 1, poll_timeout(deadline));
    if (ready == 0) return false;
    if (ready < 0 && errno != EINTR) return false;
    if (ready > 0 && (p.revents & (POLLERR | POLLNVAL))) return false;
  }
  return true;
}

bool write_now(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n > 0) {
      data.remove_prefix(static_cast<size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace arena
