// Withdrawn entrants: their games stay on disk, but the tables leave them out, as if the games
// had not been played (`--exclude NAME` of `standings` and `publish`).
#pragma once

#include <string>
#include <vector>

#include "arena/series/game_record.h"

namespace arena::tournament {

// Removes every game of a player named in `names` from `scan`; returns how many went.
std::size_t exclude_players(series::LogScan& scan, const std::vector<std::string>& names);

}  // namespace arena::tournament
