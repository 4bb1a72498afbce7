// `zarvo-ladder worker`: a machine's part of the ladder, doing the builds and the pairs the
// server leases to it (see worker_loop.h).
#pragma once

#include <span>
#include <string>

namespace ladder::worker {

// Exit status 0 once stopped by SIGTERM or SIGINT, 2 for a bad command line, token or server.
int run_worker_command(std::span<const std::string> args);

}  // namespace ladder::worker
