// What this machine offers for sandboxes, found without starting anything: bubblewrap, user
// namespaces, the user the arena runs as, and the control groups it may make. From it follow
// which limits hold and how; a sandbox that cannot be made is an error naming the cause.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "arena/sandbox/cgroup_layout.h"
#include "arena/sandbox/sandbox_policy.h"

namespace arena::sandbox {

struct HostSupport {
  std::optional<std::filesystem::path> bwrap;  // none: not found
  long max_user_namespaces = -1;               // -1: unknown
  bool root = false;
  CgroupLayout cgroups;

  // Why no sandbox can be made here, or nothing. Only what can be told without starting one.
  std::optional<std::string> problem() const;
};

// Looks once per process; later calls return the same answer.
const HostSupport& host_support();
HostSupport look_at_host();

// How each limit is carried out here, one line each ("memory: ..."), for `check-sandbox`
// and for the warnings of a match whose limits are weaker than asked.
struct LimitNote {
  std::string line;
  bool weak = false;  // a fallback that does not cover the whole process tree
  // Of a weak one, a few words for a list ("memory per process only"); a literal.
  std::string_view brief;
};
std::vector<LimitNote> limit_notes(const CgroupLayout& cgroups);

// Whether `identity` can reach `path` (search every directory on the way, read a directory, run
// a file), judged from the permission bits; for a clear error before bwrap would fail.
bool reachable(const std::filesystem::path& path, const Identity& identity, bool run = false);

}  // namespace arena::sandbox
