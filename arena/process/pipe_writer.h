// Writing lines into a child's standard input without ever blocking the arena for good:
// either within a deadline (the referee, who must read its replies) or only what fits now
// (a player, who is never allowed to stall the game by not reading).
#pragma once

#include <string_view>

#include "arena/system/deadline.h"

namespace arena {

void set_nonblocking(int fd);

// A child that has gone away must not take the arena with it when a line is written to it:
// writes then fail with EPIPE instead of raising SIGPIPE.
void ignore_broken_pipes();

// Writes all of `data` before `deadline`. False when the deadline passed or the reader is gone.
bool write_before(int fd, std::string_view data, TimePoint deadline);

// Writes what the pipe takes at once; the rest is dropped. False when anything was lost.
bool write_now(int fd, std::string_view data);

}  // namespace arena
