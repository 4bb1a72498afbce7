// Named pipes and sockets are the files a read-only mount leaves usable: two sandboxes shown the
// same one (a pipe an entry's build made in its directory, a socket a service of the host left
// in a shared one) could pass data through it, whoever made it. A player whose shown
// directories hold one is refused before it starts.
#pragma once

#include <cstddef>

#include "arena/sandbox/sandbox_policy.h"

namespace arena::sandbox {

// The look through a player's shown directories is bounded: this many files in all, nested at
// most this deep.
inline constexpr std::size_t kMaxShownFiles = 100000;
inline constexpr int kMaxShownDepth = 64;

// Throws SandboxError naming the first named pipe or socket in what `policy` shows of its
// working directory and its read-only directories (links not followed: they lead only to what
// the sandbox shows anyway), or naming a directory too big or too deep to look through.
void check_no_shown_pipes_and_sockets(const Policy& policy);

}  // namespace arena::sandbox
