// The directory a referee runs in, made fresh for each game and removed after it. It holds
// "referee.txt" (where the replay page finds the viewer files), optionally "tiles.txt" (a tile
// script), and a link "refereelogs" to the game's log directory. The referee is given the log
// path through that link (GameFiles::log_argument): the page takes its title and players from
// the part of the path behind the first "/refereelogs/", so the path must hold exactly one, and
// a log directory whose own path holds another "refereelogs" would otherwise confuse it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "arena/system/scratch_dir.h"

namespace arena {

class RefereeWorkdir {
 public:
  // Throws std::runtime_error (or std::filesystem::filesystem_error) when it cannot be made.
  RefereeWorkdir(const std::filesystem::path& log_dir, std::string_view jspath,
                 const std::filesystem::path& tiles);

  const std::filesystem::path& path() const { return dir_.path(); }

 private:
  ScratchDir dir_;  // named like every arena scratch directory, which no sandbox shows
};

}  // namespace arena
