// What the arena tells the user, after a game, about the files each sandboxed player wrote in
// its working directory: they vanished with its sandbox unless --keep-player-files copied them.
#pragma once

#include <string>

#include "arena/match/match.h"

namespace arena {

// One block per player that wrote files; empty when none did.
std::string written_files_notes(const MatchResult& result);

}  // namespace arena
