// What a player of a run must not see of the other entrants: their program, script and working
// directories, wherever they lie (in /opt, /srv, /usr/local, a --ro-dir), and for a tournament
// those of every entrant, not only of the current opponent. A directory that holds one of the
// player's own directories, or the programs every player shares (a directory of the sandbox's
// PATH, a system directory), stays visible: hiding it would take the player's own program.
#pragma once

#include <filesystem>
#include <vector>

#include "arena/match/player_command.h"

namespace arena {

// The directories of an entrant: its program's and script's directories and where it runs.
std::vector<std::filesystem::path> entrant_dirs(const PlayerCommand& entry,
                                                const std::filesystem::path& workdir);

// Which of `entrants` a player whose own directories are `own` must not see.
std::vector<std::filesystem::path> dirs_to_hide(const std::vector<std::filesystem::path>& entrants,
                                                const std::vector<std::filesystem::path>& own);

}  // namespace arena
