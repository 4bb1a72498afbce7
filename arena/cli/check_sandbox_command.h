// `zarvo-arena check-sandbox`: reports what this machine offers for sandboxed players and
// whether a sandbox can be made, by making one.
#pragma once

#include <span>
#include <string>

namespace arena::cli {

// Exit status 0 when players can be sandboxed here, 1 when not, 2 for a bad command line.
int run_check_sandbox_command(std::span<const std::string> args);

}  // namespace arena::cli
