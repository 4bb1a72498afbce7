// The process groups of every child the arena has started and not yet reaped, so that an
// arena stopped by SIGINT, SIGTERM or SIGHUP takes them all down with it. A child started by
// the arena is also killed by the kernel should the arena die without a chance to clean up
// (see child_process.cpp); the registry covers the descendants of that child too.
#pragma once

#include <sys/types.h>

namespace arena {

// Both false/no-op when the table is full; the kernel's parent-death signal still applies.
bool register_group(pid_t pgid);
void unregister_group(pid_t pgid);
bool is_registered(pid_t pgid);

// Installs the handlers once; safe to call again. The first such signal kills every registered
// group and is recorded, so that the game in progress ends (its children are gone) and cleans
// up as after any failure; a second one ends the arena at once.
void kill_registered_groups_on_signals();

// The signal that stopped the arena, or 0.
int stop_signal_received();

}  // namespace arena
