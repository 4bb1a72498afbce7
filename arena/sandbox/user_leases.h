// The users a root arena's players run as: each seat of each game gets a user of a range of its
// own for as long as its sandbox lives, so that no two sandboxes alive on the host share a user,
// nor the kernel's per-user limits (inotify instances, keyrings, pending signals, ...). A user is
// held by a lock on a file of its own in a directory only root may write to (/run/zarvo-arena,
// else one in the temporary directory), taken with flock(2) on a descriptor kept open: every
// arena process of the host respects it, and a crashed arena's locks go with it.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "arena/sandbox/sandbox_policy.h"
#include "arena/system/deadline.h"
#include "arena/system/unique_fd.h"

namespace arena::sandbox {

// The uids FIRST to LAST, both included; each one's group is the gid of the same number.
struct UserRange {
  uid_t first = 60100;
  uid_t last = 60999;

  std::size_t size() const { return static_cast<std::size_t>(last - first) + 1; }
  std::string text() const { return std::to_string(first) + "-" + std::to_string(last); }
  bool operator==(const UserRange&) const = default;
};

// The most users a range may hold: every allocation may look at each of them.
inline constexpr std::size_t kMaxUserRange = 100000;

// "FIRST-LAST", or why it is not a range players may run as (root, the build's user, too big).
std::optional<std::string> user_range_problem(const UserRange& range);
// Parses "FIRST-LAST"; throws std::invalid_argument naming what is wrong.
UserRange parse_user_range(const std::string& text);

// How long an arena waits for users of its range taken by other sandboxes to come free.
inline constexpr auto kUserPatience = std::chrono::seconds(60);

// One user held for one sandbox; the lock goes with the object.
class UserLease {
 public:
  UserLease(Identity identity, UniqueFd lock) : identity_(identity), lock_(std::move(lock)) {}
  const Identity& identity() const { return identity_; }

 private:
  Identity identity_;
  UniqueFd lock_;
};

// `count` distinct users of `range`, none of them in /etc/passwd or /etc/group, none held by
// another lease of this host, taken together (so that two games waiting for users never hold
// one each). Waits until `deadline` for users held by others; throws SandboxError naming the
// range when there are not enough, or the locks cannot be taken.
std::vector<UserLease> lease_users(const UserRange& range, std::size_t count, TimePoint deadline);

// What check-sandbox tells of a range: how many of its users the host's accounts leave to the
// arena, and how many of those no sandbox holds now.
struct RangeUse {
  std::size_t unlisted = 0;  // in neither /etc/passwd nor /etc/group
  std::size_t free = 0;
};
RangeUse range_use(const UserRange& range);

}  // namespace arena::sandbox
