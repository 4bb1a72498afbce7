// Trying the players' sandbox on this machine, as check-sandbox reports it: the version of
// bubblewrap, and a trial start of /bin/true exactly as a player is started (same policy, same
// kind of user, same control groups), each bounded in time.
#pragma once

#include <filesystem>
#include <string>

#include "arena/sandbox/host_support.h"

namespace arena {

// The first line `bwrap --version` prints, or why there is none.
std::string bwrap_version(const std::filesystem::path& bwrap);

struct TrialStart {
  bool ran = false;    // the sandboxed /bin/true ended with status 0
  std::string detail;  // how long it took, or why it did not run
};

TrialStart trial_start(const sandbox::HostSupport& host);

}  // namespace arena
