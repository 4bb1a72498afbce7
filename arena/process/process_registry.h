// The process groups of every child the arena has started and not yet reaped, so that an
// arena stopped by a signal takes them all down with it (stop_signals.h). A child started by
// the arena is also killed by the kernel should the arena die without a chance to clean up
// (see child_process.cpp); the registry covers the descendants of that child too.
#pragma once

#include <sys/types.h>

namespace arena {

// Both false/no-op when the table is full; the kernel's parent-death signal still applies.
bool register_group(pid_t pgid);
void unregister_group(pid_t pgid);
bool is_registered(pid_t pgid);

// SIGKILL to every registered group. Safe in a signal handler.
void kill_registered_groups();

}  // namespace arena
