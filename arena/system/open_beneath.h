// Opening a path below a directory whose contents someone else made (a sandbox's scratch area
// seen from outside), so that no name in it leads anywhere else: the directory stands for "/",
// and no symbolic link, magic link of /proc or mount on the way is followed.
#pragma once

#include <filesystem>

#include "arena/system/unique_fd.h"

namespace arena {

// Opens `relative` below `root` with `flags` (O_CLOEXEC and O_NOFOLLOW added): no link of any
// kind is followed, no mount crossed, no ".." climbs above `root`. With O_PATH, a link at the
// end is opened itself. openat2() where the kernel has it (Linux 5.6); elsewhere one name at a
// time with O_NOFOLLOW. An empty descriptor, errno set, when it cannot.
UniqueFd open_beneath(int root, const std::filesystem::path& relative, int flags);

// Opens `relative` below `root` as a process whose root `root` is would see it: links are
// followed but resolved within `root`, mounts crossed, magic links refused. For a tree nobody
// but its maker has touched yet; where openat2() is missing, a link on the way refuses the open.
UniqueFd open_within_root(int root, const std::filesystem::path& relative, int flags);

}  // namespace arena
