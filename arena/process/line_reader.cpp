#include "arena/process/line_reader.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "arena/process/pipe_writer.h"

namespace arena {

LineReader::LineReader(UniqueFd fd, std::size_t max_line)
    : fd_(std::move(fd)), max_line_(max_line) {
  set_nonblocking(fd_.get());
}

bool LineReader::take_line(std::string& line) {
  auto newline = buffer_.find('\n');
  if (newline != std::string::npos && newline <= max_line_) {
    line.assign(buffer_, 0, newline);
    buffer_.erase(0, newline + 1);
    return true;
  }
  if (buffer_.size() >= max_line_) {
    line.assign(buffer_, 0, max_line_);
    buffer_.erase(0, max_line_);
    // Whatever follows up to the next newline belongs to the line just cut.
    auto end = buffer_.find('\n');
    if (end == std::string::npos) {
      buffer_.clear();
      skipping_ = true;
    } else {
      buffer_.erase(0, end + 1);
    }
    return true;
  }
  if (ended_ && !buffer_.empty()) {
    line = std::move(buffer_);
    buffer_.clear();
    return true;
  }
  return false;
}

LineReader::Fill LineReader::fill() {
  char chunk[64 * 1024];
  for (;;) {
    ssize_t n = ::read(fd_.get(), chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return Fill::kEmpty;
    if (n <= 0) {
      ended_ = true;
      return Fill::kEnd;
    }
    std::string_view got(chunk, static_cast<size_t>(n));
    if (skipping_) {
      auto end = got.find('\n');
      if (end == std::string_view::npos) return Fill::kData;
      got.remove_prefix(end + 1);
      skipping_ = false;
    }
    buffer_.append(got);
    return Fill::kData;
  }
}

ReadStatus LineReader::read_line(std::string& line, TimePoint deadline, int wake_fd) {
  for (bool polled = false;; polled = true) {
    if (take_line(line)) return ReadStatus::kLine;
    if (ended_) return ReadStatus::kEnd;
    // Checked here too: a writer that never stops keeps poll() from ever timing out.
    if (polled && Clock::now() >= deadline) return ReadStatus::kTimeout;

    pollfd fds[2] = {{fd_.get(), POLLIN, 0}, {wake_fd, POLLIN, 0}};
    int ready = ::poll(fds, wake_fd >= 0 ? 2 : 1, poll_timeout(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) return ReadStatus::kTimeout;
    if (ready < 0) {
      ended_ = true;
      continue;
    }
    if (fds[0].revents != 0) {
      fill();
      continue;
    }
    if (fds[1].revents != 0) {
      // The writer is gone; take what it left before saying so. Bounded, because a descendant
      // that still holds the pipe could go on writing.
      for (int round = 0; round < 8; ++round) {
        if (take_line(line)) return ReadStatus::kLine;
        if (fill() != Fill::kData) break;
      }
      if (take_line(line)) return ReadStatus::kLine;
      return ended_ ? ReadStatus::kEnd : ReadStatus::kWoken;
    }
  }
}

}  // namespace arena
