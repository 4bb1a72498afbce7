#include "arena/match/limit_warnings.h"

#include "arena/match/sandbox_plan.h"
#include "arena/sandbox/host_support.h"
#include "arena/sandbox/sandbox_policy.h"

namespace arena {

std::string weak_limit_warnings(const MatchConfig& config) {
  const sandbox::HostSupport& host = sandbox::host_support();
  std::string warnings;
  for (const sandbox::LimitNote& note : sandbox::limit_notes(host.cgroups)) {
    if (!note.weak || (note.line.starts_with("memory") && memory_limit_mb(config) == 0)) continue;
    if (note.line.starts_with("idle player") && (config.ponder || !config.sandbox)) continue;
    warnings += "zarvo-arena match: warning: " + note.line + "\n";
  }
  if (!config.memory_limit_mb && memory_limit_mb(config) == 0) {
    warnings += "zarvo-arena match: warning: no memory limit: the default of " +
                std::to_string(sandbox::kDefaultMemoryLimitMb) +
                " MB needs a memory control group; a player may take all of this machine's "
                "memory (give --memory-limit MB for an address-space limit instead)\n";
  }
  if (!warnings.empty()) {
    std::string why;
    for (const std::string& problem : host.cgroups.problems) why += "; " + problem;
    warnings += "zarvo-arena match: (no control groups for that" + why + ")\n";
  }
  return warnings;
}

}  // namespace arena
