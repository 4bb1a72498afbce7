// Running one command of zarvo-arena (the one beside this program) as a child: a build or a
// check, with the arena's own sandboxing, limits and clean-up, in a process of its own so that
// what it does process-wide (its signal handling, adopting and killing its orphans) never
// touches the worker's other slots. A stop asked while it runs ends it as SIGTERM ends it at a
// terminal: it takes its sandboxes down and exits.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "arena/process/child_process.h"

namespace ladder::worker {

using StopAsked = std::function<bool()>;

struct ArenaRun {
  arena::ExitStatus status;
  bool stopped = false;  // `stop_asked` turned true and the command was ended
  std::string output;    // the end of its standard output (at most 256 KiB)
};

// Runs `zarvo-arena ARGS...`, its standard error to `error_file`. Throws std::system_error when
// it cannot be started.
ArenaRun run_arena(const std::vector<std::string>& args, const std::filesystem::path& error_file,
                   const StopAsked& stop_asked);

}  // namespace ladder::worker
