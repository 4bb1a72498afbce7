#include "ladder/site/entrant_games.h"

#include <limits>

#include "ladder/store/row_values.h"

namespace ladder::site {

namespace {

using store::row_integer;
using store::row_text;

ListedGame listed(const soci::row& row, std::int64_t entrant) {
  ListedGame game;
  game.id = row_integer(row, 0);
  game.seat = row_integer(row, 10) == entrant ? 1 : 2;
  bool first = game.seat == 1;
  game.version = static_cast<int>(row_integer(row, first ? 2 : 4));
  game.opponent = row_text(row, first ? 3 : 1);
  game.opponent_version = static_cast<int>(row_integer(row, first ? 4 : 2));
  game.points = row_integer(row, first ? 5 : 6);
  game.opponent_points = row_integer(row, first ? 6 : 5);
  auto winner = row_integer(row, 7);
  game.result = winner == 0 ? "draw" : winner == game.seat ? "win" : "loss";
  game.ranked = row_integer(row, 8) != 0;
  game.finished = row_integer(row, 9);
  return game;
}

}  // namespace

GamesPage entrant_games(store::Transaction& tx, const GamesFilter& filter) {
  long long before = filter.before > 0 ? filter.before : std::numeric_limits<long long>::max();
  long long me = filter.entrant, opponent = filter.opponent, version = filter.version;
  int fetch = kGamesPerPage + 1;
  soci::rowset<soci::row> rows =
      (tx.sql().prepare
           << "SELECT g.id, e1.name, v1.number, e2.name, v2.number, g.points1, g.points2,"
              " g.winner, g.is_ranked, g.finished, v1.entrant FROM games g"
              " JOIN versions v1 ON v1.id = g.player1 JOIN entrants e1 ON e1.id = v1.entrant"
              " JOIN versions v2 ON v2.id = g.player2 JOIN entrants e2 ON e2.id = v2.entrant"
              // Each seat's games of the entrant's versions, found through the games' indexes by
              // player, so that a rare opponent costs no walk through every game.
              " WHERE g.voided = 0 AND g.id < :before AND ("
              " (g.player1 IN (SELECT id FROM versions WHERE entrant = :m1"
              " AND (:n0 = 0 OR number = :n1)) AND (:o0 = 0 OR v2.entrant = :o1))"
              " OR (g.player2 IN (SELECT id FROM versions WHERE entrant = :m2"
              " AND (:n2 = 0 OR number = :n3)) AND (:o2 = 0 OR v1.entrant = :o3)))"
              " ORDER BY g.id DESC LIMIT :lim",
       soci::use(before), soci::use(me), soci::use(version), soci::use(version),
       soci::use(opponent), soci::use(opponent), soci::use(me), soci::use(version),
       soci::use(version), soci::use(opponent), soci::use(opponent), soci::use(fetch));
  GamesPage page;
  for (const soci::row& row : rows) {
    if (static_cast<int>(page.games.size()) == kGamesPerPage) {
      page.next_before = page.games.back().id;
      break;
    }
    page.games.push_back(listed(row, filter.entrant));
  }
  return page;
}

}  // namespace ladder::site
