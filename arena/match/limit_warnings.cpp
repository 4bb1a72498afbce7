#include "arena/match/limit_warnings.h"

#include <vector>

#include "arena/match/sandbox_plan.h"
#include "arena/sandbox/host_support.h"
#include "arena/sandbox/sandbox_policy.h"

namespace arena {

namespace {

// The limits of this game that hold less here than its options say: each in full and briefly.
std::vector<sandbox::LimitNote> weak_limits(const MatchConfig& config) {
  std::vector<sandbox::LimitNote> weak;
  for (const sandbox::LimitNote& note : sandbox::limit_notes(sandbox::host_support().cgroups)) {
    if (!note.weak || (note.line.starts_with("memory") && memory_limit_mb(config) == 0)) continue;
    if (note.line.starts_with("idle player") && (config.ponder || !config.sandbox)) continue;
    weak.push_back(note);
  }
  if (!config.memory_limit_mb && memory_limit_mb(config) == 0) {
    weak.push_back({"no memory limit: the default of " +
                        std::to_string(sandbox::kDefaultMemoryLimitMb) +
                        " MB needs a memory control group; a player may take all of this "
                        "machine's memory (give --memory-limit MB for an address-space limit "
                        "instead)",
                    true, "no memory limit"});
  }
  return weak;
}

}  // namespace

std::string weak_limit_warnings(const MatchConfig& config) {
  std::string warnings;
  for (const sandbox::LimitNote& note : weak_limits(config)) {
    warnings += "zarvo-arena match: warning: " + note.line + "\n";
  }
  if (!warnings.empty()) {
    std::string why;
    for (const std::string& problem : sandbox::host_support().cgroups.problems)
      why += "; " + problem;
    warnings += "zarvo-arena match: (no control groups for that" + why + ")\n";
  }
  return warnings;
}

std::string weak_limits_line(const MatchConfig& config) {
  std::string list;
  for (const sandbox::LimitNote& note : weak_limits(config)) {
    if (!list.empty()) list += ", ";
    list += note.brief;
  }
  if (list.empty()) return "";
  return "zarvo-arena match: " + std::string(kLimitedHere) + list +
         "); see zarvo-arena check-sandbox\n";
}

}  // namespace arena
