// The matchmaker: which active versions play the next ranked pairs. A pick is seeded by the
// version furthest below its share of games (a version still settling first), one pick in ten
// by the version that played least recently; its opponent is drawn from a heavy-tailed window
// of rating ranks around it, never of the same entrant and not its last opponent when anyone
// else will do.
#pragma once

#include <cstddef>
#include <random>
#include <vector>

#include "ladder/league/league_types.h"

namespace ladder::league {

// A version with fewer pairs than this is still settling: it is served before the others get
// more, its rating is provisional, and it has at most kSettlingInFlight pair jobs at a time.
inline constexpr int kSettlingPairs = 20;
inline constexpr int kSettlingInFlight = 2;

// Up to `wanted` picks over `versions`; fewer when no legal pick remains. The same versions
// and the same state of `rng` give the same picks.
std::vector<Pick> pick_pairs(std::vector<ActiveVersion> versions, std::size_t wanted,
                             std::mt19937_64& rng);

}  // namespace ladder::league
