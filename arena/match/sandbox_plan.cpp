#include "arena/match/sandbox_plan.h"

#include <unistd.h>

#include "arena/sandbox/bwrap_command.h"
#include "arena/sandbox/host_support.h"
#include "arena/sandbox/player_sandbox.h"

namespace arena {
namespace fs = std::filesystem;

namespace {

// Visible already: the working directory itself and the system directories. A directory below
// the working directory is shown on its own, since the entry holding it may be left out.
bool visible(const fs::path& dir, const fs::path& workdir) {
  if (sandbox::normal_absolute(dir) == sandbox::normal_absolute(workdir)) return true;
  for (const fs::path& system : sandbox::system_directories()) {
    if (sandbox::is_within(dir, system)) return true;
  }
  return false;
}

}  // namespace

std::size_t memory_limit_mb(const MatchConfig& config) {
  if (config.memory_limit_mb) return *config.memory_limit_mb;
  if (config.sandbox && !sandbox::host_support().cgroups.memory.empty()) {
    return sandbox::kDefaultMemoryLimitMb;
  }
  return 0;
}

std::vector<sandbox::UserLease> seat_users(const MatchConfig& config) {
  if (!config.sandbox || !sandbox::must_drop_root()) return {};
  try {
    return sandbox::lease_users(config.user_range, 2, Clock::now() + sandbox::kUserPatience);
  } catch (const sandbox::SandboxError& error) {
    throw MatchSetupError(std::string("no users for the players' sandboxes: ") + error.what(),
                          MatchSetupError::Kind::kUnplayable);
  }
}

sandbox::Policy seat_policy(const MatchConfig& config, int seat, const fs::path& program,
                            const std::vector<std::string>& args, const fs::path& workdir,
                            const std::optional<fs::path>& script,
                            const std::optional<sandbox::Identity>& user) {
  sandbox::Policy policy;
  policy.workdir = sandbox::normal_absolute(workdir);
  for (const fs::path& dir : config.ro_dirs) policy.readonly_dirs.push_back(dir);
  std::vector<fs::path> files = {program};
  if (script) files.push_back(*script);
  for (const fs::path& file : files) {
    fs::path dir = sandbox::normal_absolute(file).parent_path();
    if (!visible(dir, policy.workdir)) policy.readonly_dirs.push_back(dir);
  }
  policy.env = config.env;
  policy.limits.memory_mb = memory_limit_mb(config);
  // No scratch area can hold more than the whole limit allows.
  if (policy.limits.memory_mb > 0) policy.scratch_mb = policy.limits.memory_mb;
  policy.syscall_filter = config.syscall_filter;
  policy.limits.processes = config.process_limit;
  if (sandbox::must_drop_root()) {
    const uid_t first = config.user_range.first;
    policy.identity = user.value_or(sandbox::Identity{first, static_cast<gid_t>(first)});
  }
  const std::string who = "player " + std::to_string(seat) + ": ";
  try {
    sandbox::check_policy(sandbox::host_support(), policy, program, args, script);
  } catch (const sandbox::SandboxError& error) {
    throw MatchSetupError(who + "no sandbox can be made for it: " + error.what() +
                              " (zarvo-arena check-sandbox tells more; --no-sandbox plays without)",
                          error.kind == sandbox::SandboxError::Kind::kUnreadable
                              ? MatchSetupError::Kind::kUnreadableFile
                              : MatchSetupError::Kind::kUnplayable);
  }
  return policy;
}

}  // namespace arena
