// Reads a child's output one line at a time, with a deadline, in bounded memory.
//
// Output is read only when a line is wanted, so a child that writes more than the arena asks
// for is held back by the pipe itself. A line longer than the limit is cut: its first `max_line`
// bytes are returned at once and the rest, up to the newline, is skipped. A last line without
// a newline before the end of output counts as a line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "arena/system/deadline.h"
#include "arena/system/unique_fd.h"

namespace arena {

inline constexpr std::size_t kMaxLine = 64 * 1024;

enum class ReadStatus {
  kLine,     // `line` holds the next line, without its newline
  kEnd,      // the writer closed its end and nothing is left
  kTimeout,  // the deadline passed first
  kWoken,    // `wake_fd` became readable and no complete line was to be had
};

class LineReader {
 public:
  explicit LineReader(UniqueFd fd, std::size_t max_line = kMaxLine);

  // Waits until a line is available, the output ends, `deadline` passes or `wake_fd` (if not
  // -1) becomes readable. When woken, whatever the pipe already holds is read first, so a line
  // written just before the writer exited is still returned.
  ReadStatus read_line(std::string& line, TimePoint deadline, int wake_fd = -1);

  // What has been read of a line not yet complete: empty when the writer has written nothing
  // since the last line.
  std::string_view pending() const { return buffer_; }

 private:
  enum class Fill { kData, kEmpty, kEnd };
  Fill fill();
  bool take_line(std::string& line);

  UniqueFd fd_;
  std::size_t max_line_;
  std::string buffer_;
  bool skipping_ = false;  // inside the tail of a line that was cut
  bool ended_ = false;
};

}  // namespace arena
