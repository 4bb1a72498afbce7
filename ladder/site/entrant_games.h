// One page of an entrant's games, newest first, optionally only those of one of its versions or
// against one opponent: what the entrant's page lists.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ladder/store/database.h"

namespace ladder::site {

struct GamesFilter {
  std::int64_t entrant = 0;
  int version = 0;            // the entrant's version number, 0: any
  std::int64_t opponent = 0;  // an entrant id, 0: any
  std::int64_t before = 0;    // a game id, 0: the newest
};

struct ListedGame {
  std::int64_t id = 0;
  int seat = 1;  // the entrant's seat
  int version = 0;
  std::string opponent;
  int opponent_version = 0;
  std::int64_t points = 0, opponent_points = 0;
  std::string result;  // "win", "draw", "loss"
  bool ranked = false;
  std::int64_t finished = 0;
};

inline constexpr int kGamesPerPage = 25;

struct GamesPage {
  std::vector<ListedGame> games;
  std::int64_t next_before = 0;  // 0: no older page
};
GamesPage entrant_games(store::Transaction& tx, const GamesFilter& filter);

}  // namespace ladder::site
