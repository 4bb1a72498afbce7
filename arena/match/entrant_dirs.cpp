#include "arena/match/entrant_dirs.h"

#include <algorithm>
#include <string_view>

#include "arena/sandbox/bwrap_command.h"

namespace arena {
namespace fs = std::filesystem;

namespace {

// The directories every player needs: those of the sandbox's PATH and the system directories.
std::vector<fs::path> shared_dirs() {
  std::vector<fs::path> dirs = sandbox::system_directories();
  std::string_view path = sandbox::kSandboxPath;
  for (;;) {
    auto colon = path.find(':');
    dirs.emplace_back(path.substr(0, colon));
    if (colon == std::string_view::npos) break;
    path.remove_prefix(colon + 1);
  }
  return dirs;
}

bool holds_any(const fs::path& dir, const std::vector<fs::path>& paths) {
  return std::any_of(paths.begin(), paths.end(),
                     [&](const fs::path& path) { return sandbox::is_within(path, dir); });
}

}  // namespace

std::vector<fs::path> entrant_dirs(const PlayerCommand& entry, const fs::path& workdir) {
  std::vector<fs::path> dirs = {sandbox::normal_absolute(entry.program).parent_path(),
                                sandbox::normal_absolute(workdir)};
  if (entry.script_path) dirs.push_back(sandbox::normal_absolute(*entry.script_path).parent_path());
  return dirs;
}

std::vector<fs::path> dirs_to_hide(const std::vector<fs::path>& entrants,
                                   const std::vector<fs::path>& own) {
  static const std::vector<fs::path> shared = shared_dirs();
  std::vector<fs::path> own_normal;
  for (const fs::path& dir : own) own_normal.push_back(sandbox::normal_absolute(dir));
  std::vector<fs::path> hide;
  for (const fs::path& given : entrants) {
    fs::path dir = sandbox::normal_absolute(given);
    if (dir == dir.root_path() || holds_any(dir, own_normal) || holds_any(dir, shared)) continue;
    if (std::find(hide.begin(), hide.end(), dir) == hide.end()) hide.push_back(dir);
  }
  return hide;
}

}  // namespace arena
