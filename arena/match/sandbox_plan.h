// The sandbox of each seat of a game, planned before anything starts: what the player sees
// (its working directory, its program's and script's directories, --ro-dir), its environment,
// its limits and, when the arena runs as root, the unprivileged user leased for its seat.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "arena/match/match.h"
#include "arena/sandbox/sandbox_policy.h"
#include "arena/sandbox/user_leases.h"

namespace arena {

// The memory limit each player of `config` gets, in MB (0: none): the one given, else
// sandbox::kDefaultMemoryLimitMb for a sandboxed player where a memory control group holds it
// as resident memory; none otherwise, since an address-space limit that size would not let a
// JVM start.
std::size_t memory_limit_mb(const MatchConfig& config);

// The users of a game's two seats, leased for its whole length from config.user_range when a
// root arena sandboxes them (see sandbox/user_leases.h); none otherwise. Waits a bounded time
// for users other sandboxes hold; throws MatchSetupError naming the range when there are none.
std::vector<sandbox::UserLease> seat_users(const MatchConfig& config);

// The policy of seat 1 or 2 for a player running `program` (and `script`, for an interpreter)
// in `workdir`, as `user` when the arena runs as root (the seat's lease; none: a check that
// starts nothing, for which the first user of the range stands in). Throws MatchSetupError
// naming the cause when it cannot be sandboxed here.
sandbox::Policy seat_policy(const MatchConfig& config, int seat,
                            const std::filesystem::path& program,
                            const std::vector<std::string>& args,
                            const std::filesystem::path& workdir,
                            const std::optional<std::filesystem::path>& script,
                            const std::optional<sandbox::Identity>& user = std::nullopt);

}  // namespace arena
