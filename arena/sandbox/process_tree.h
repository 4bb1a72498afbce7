// The CPU time of a process and all its live descendants, from /proc: what a player's tree has
// used where no control group counts it.
#pragma once

#include <sys/types.h>

#include "arena/system/deadline.h"

namespace arena::sandbox {

// User plus system time of `root` and of every live descendant, each with what its ended and
// waited-for children used; 0 when `root` is gone.
Milliseconds process_tree_cpu_time(pid_t root);

// Stops every descendant of `root` with SIGSTOP, again for those started meanwhile, until every
// one shows as stopped (bounded); false when some did not. The fallback of a freezer group.
bool stop_descendants(pid_t root);
// Continues every descendant of `root` with SIGCONT.
void continue_descendants(pid_t root);

}  // namespace arena::sandbox
