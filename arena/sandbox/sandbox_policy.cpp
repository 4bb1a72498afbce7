#include "arena/sandbox/sandbox_policy.h"

#include <unistd.h>

namespace arena::sandbox {

Identity seat_identity(int seat) {
  const auto id = static_cast<uid_t>(60000 + seat);
  return {id, static_cast<gid_t>(id)};
}

Identity build_identity() { return seat_identity(3); }

bool must_drop_root() { return ::geteuid() == 0; }

}  // namespace arena::sandbox
