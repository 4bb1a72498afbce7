// The final evaluation that settles the ladder: a paired round robin among the leading
// versions, and its standings written as a static site in the layout `zarvo-arena publish`
// gives a tournament.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "ladder/league/league_types.h"

namespace ladder::league {

struct FinalEntrant {
  std::string name;  // the entrant's name
  int version;       // its number among the entrant's versions
  VersionId id;
};

struct FinalGame {
  VersionId seat1, seat2;
  int points1, points2;
  int winner;               // 0 a draw, 1 or 2 the seat that won
  std::string replay_file;  // the game's replay page, copied into the site; empty for none
};

struct FinalResults {
  std::vector<FinalEntrant> entrants;
  std::vector<FinalGame> games;
};

// Every pairing of `top` plays games_per_pair games: games_per_pair / 2 pairs, the seats
// swapped inside each pair. Throws std::invalid_argument for an odd or non-positive count.
std::vector<Pick> final_round_pairs(const std::vector<VersionId>& top, int games_per_pair);

// Writes into `dir` the final standings ("standings.txt", "standings.json") ranked by the
// arena's standings rule over `results.games`, and the site `zarvo-arena publish` makes of a
// tournament: "index.html", a page per entrant under "players/" and the replay pages under
// "refereelogs/". A version appears as "<entrant>_v<number>", or "version_<id>" when that is
// not a player name. Throws std::invalid_argument for a game of a version not among the
// entrants or with a winner other than 0, 1 or 2, std::runtime_error when a file cannot be
// written or copied.
void write_final_site(const std::filesystem::path& dir, const FinalResults& results);

}  // namespace ladder::league
