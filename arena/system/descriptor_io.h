// Reading directories and copying files through descriptors, for the walks that must never
// follow a path an untrusted hand may change (an entry's build, a player's working directory).
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace arena {

struct CopiedBytes {
  std::uintmax_t bytes = 0;
  bool complete = false;  // the end of the source was reached (or `limit`) without an error
};

// Copies from `from` to `to` until the source ends or `limit` bytes are copied, retrying
// interrupted calls and finishing short writes.
CopiedBytes copy_bytes(int from, int to,
                       std::uintmax_t limit = std::numeric_limits<std::uintmax_t>::max());

// The names in the directory `dir_fd` but "." and "..", in the directory's order; nothing when it
// cannot be listed (errno says why). The descriptor stays open and where it was.
std::optional<std::vector<std::string>> names_in(int dir_fd);

}  // namespace arena
