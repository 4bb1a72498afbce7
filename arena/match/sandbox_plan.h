// The sandbox of each seat of a game, planned before anything starts: what the player sees
// (its working directory, its program's and script's directories, --ro-dir), its environment,
// its limits and, when the arena runs as root, the unprivileged user of its seat.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "arena/match/match.h"
#include "arena/sandbox/sandbox_policy.h"

namespace arena {

// The policy of seat 1 or 2 for a player running `program` (and `script`, for an interpreter)
// in `workdir`. Throws MatchSetupError naming the cause when it cannot be sandboxed here.
sandbox::Policy seat_policy(const MatchConfig& config, int seat,
                            const std::filesystem::path& program,
                            const std::vector<std::string>& args,
                            const std::filesystem::path& workdir,
                            const std::optional<std::filesystem::path>& script);

}  // namespace arena
