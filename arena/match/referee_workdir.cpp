#include "arena/match/referee_workdir.h"

#include <stdlib.h>

#include <cerrno>
#include <fstream>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "arena/game/game_files.h"
#include "arena/sandbox/sandbox_policy.h"

namespace arena {
namespace fs = std::filesystem;

RefereeWorkdir::RefereeWorkdir(const fs::path& log_dir, std::string_view jspath,
                               const fs::path& tiles) {
  std::string pattern =
      (fs::temp_directory_path() / (std::string(sandbox::kScratchDirPrefix) + "XXXXXX")).string();
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (!::mkdtemp(name.data())) {
    throw std::system_error(errno, std::generic_category(),
                            "cannot create a directory for the referee");
  }
  path_ = name.data();
  try {
    std::ofstream config(path_ / "referee.txt");
    config << "jspath=" << jspath << "\n";
    if (!config.flush())
      throw std::runtime_error("cannot write " + (path_ / "referee.txt").string());
    if (!tiles.empty()) fs::copy_file(tiles, path_ / "tiles.txt");
    fs::create_directory_symlink(fs::absolute(log_dir), path_ / GameFiles::kLogDirName);
  } catch (...) {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
    throw;
  }
}

RefereeWorkdir::~RefereeWorkdir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

}  // namespace arena
