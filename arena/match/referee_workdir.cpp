#include "arena/match/referee_workdir.h"

#include <fstream>
#include <stdexcept>

#include "arena/game/game_files.h"
#include "arena/sandbox/sandbox_policy.h"

namespace arena {
namespace fs = std::filesystem;

RefereeWorkdir::RefereeWorkdir(const fs::path& log_dir, std::string_view jspath,
                               const fs::path& tiles)
    : dir_(sandbox::kScratchDirPrefix) {
  const fs::path& path = dir_.path();
  std::ofstream config(path / "referee.txt");
  config << "jspath=" << jspath << "\n";
  if (!config.flush()) throw std::runtime_error("cannot write " + (path / "referee.txt").string());
  if (!tiles.empty()) fs::copy_file(tiles, path / "tiles.txt");
  fs::create_directory_symlink(fs::absolute(log_dir), path / GameFiles::kLogDirName);
}

}  // namespace arena
