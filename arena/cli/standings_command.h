// `zarvo-arena standings DIR`: the summary files of a tournament directory rebuilt from its
// logs, wherever its games were played.
#pragma once

#include <span>
#include <string>

namespace arena::cli {

// Exit status: 0 done, 2 bad command line or no game logs directory.
int run_standings_command(std::span<const std::string> args);

}  // namespace arena::cli
