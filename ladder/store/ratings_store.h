// What matchmaking and the ratings read and write: the versions' records (rating, pairs played,
// pairs in flight, last opponent), the per-pairing totals the report transactions keep, each
// version's rating with its interval and a history point per refit, and the final round's
// games and standings.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ladder/store/database.h"

namespace ladder::store {

struct VersionRecord {
  std::int64_t id = 0;
  std::int64_t entrant = 0;
  double rating = 0;
  int pairs = 0;
  int in_flight = 0;  // ranked pair jobs queued or leased
  std::int64_t last_played = 0;
  std::int64_t last_opponent = 0;
  bool active = false;
};

struct PairTotal {
  std::int64_t a = 0, b = 0;
  double games = 0, points_a = 0;
};

struct StoredRating {
  std::int64_t id = 0;
  double rating = 0, low = 0, high = 0;
  bool provisional = true;
};

// Active versions of enabled entrants, the ones matchmaking pairs.
std::vector<VersionRecord> playable_versions(Transaction& tx);

// Every version the ratings are fitted over (active ones and those with ranked games), and every
// pairing's totals.
std::vector<VersionRecord> rated_versions(Transaction& tx);
std::vector<PairTotal> pair_totals(Transaction& tx);

// Keeps the ratings of the active versions among `ratings` and a history point for each.
void store_ratings(Transaction& tx, const std::vector<StoredRating>& ratings, std::int64_t now);

using HistoryPoint = std::pair<std::int64_t, double>;
// Versions whose history holds more than `limit` points.
std::vector<std::int64_t> versions_with_history_over(Transaction& tx, std::size_t limit);
std::vector<HistoryPoint> rating_history(Transaction& tx, std::int64_t version);
void replace_rating_history(Transaction& tx, std::int64_t version,
                            const std::vector<HistoryPoint>& points);

// The `n` active versions with the best ratings, best first.
std::vector<std::int64_t> top_active_versions(Transaction& tx, int n);

struct FinalGame {
  std::int64_t id = 0, seat1 = 0, seat2 = 0;
  int points1 = 0, points2 = 0, winner = 0;
  std::string files;
};
std::vector<FinalGame> final_games(Transaction& tx);

struct FinalStanding {
  std::int64_t version = 0;
  double rating = 0, low = 0, high = 0;
  int games = 0, wins = 0, draws = 0, losses = 0;
};
// Best first.
void store_final_standings(Transaction& tx, const std::vector<FinalStanding>& standings);

}  // namespace ladder::store
