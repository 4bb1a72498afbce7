// Under cgroup v2 a group that holds processes cannot hand its controllers to groups below it.
// So that the players' groups get the memory and pids controllers, the arena (with the arenas
// above it, such as a tournament) moves into a leaf "zarvo-arena" of its own group, which then
// enables the controllers for its children; unless the group is the hierarchy's root, which
// may hold processes and hand on controllers at once.
#pragma once

#include "arena/sandbox/cgroup_layout.h"

namespace arena::sandbox {

// Done once per process; harmless to repeat, also from several arenas at once. Throws
// SandboxError naming the cause (another program's process in the group, no permission).
void delegate_v2_controllers(const CgroupLayout& layout);

}  // namespace arena::sandbox
