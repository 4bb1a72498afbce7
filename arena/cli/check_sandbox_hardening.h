// The part of `zarvo-arena check-sandbox` that reports the defences beside the sandbox itself:
// the players' system-call filter, the default memory limit and the scratch areas' sizes, and
// the out-of-memory scores that make the kernel end a player before the arena or the referee.
#pragma once

#include <ostream>

#include "arena/sandbox/host_support.h"

namespace arena::cli {

// Writes the report; false when the system-call filter cannot be built here.
bool print_hardening(std::ostream& out, const sandbox::HostSupport& host);

}  // namespace arena::cli
