#include "ladder/store/ratings_store.h"

#include <map>

#include "ladder/store/row_values.h"

namespace ladder::store {

namespace {

// Reads plain columns only: SOCI types the columns of a row by their declared types, which
// SQLite does not give an expression.
std::vector<VersionRecord> versions_where(Transaction& tx, const std::string& condition) {
  std::map<std::int64_t, int> in_flight;
  soci::rowset<soci::row> jobs =
      (tx.sql().prepare << "SELECT player1, player2 FROM jobs WHERE is_ranked = 1"
                           " AND state IN ('queued', 'leased')");
  for (const soci::row& row : jobs) {
    ++in_flight[row_integer(row, 0)];
    ++in_flight[row_integer(row, 1)];
  }
  std::vector<VersionRecord> records;
  soci::rowset<soci::row> rows =
      (tx.sql().prepare
       << "SELECT v.id, v.entrant, v.rating, v.pairs, v.last_played, v.last_opponent, v.state,"
          " e.disabled FROM versions v JOIN entrants e ON e.id = v.entrant WHERE "
       << condition << " ORDER BY v.id");
  for (const soci::row& row : rows) {
    VersionRecord record;
    record.id = row_integer(row, 0);
    record.entrant = row_integer(row, 1);
    record.rating = row_real(row, 2);
    record.pairs = static_cast<int>(row_integer(row, 3));
    record.last_played = row_integer(row, 4);
    record.last_opponent = row_integer(row, 5);
    record.active = row_text(row, 6) == "active" && row_integer(row, 7) == 0;
    record.in_flight = in_flight[record.id];
    records.push_back(record);
  }
  return records;
}

}  // namespace

std::vector<VersionRecord> playable_versions(Transaction& tx) {
  return versions_where(tx, "v.state = 'active' AND e.disabled = 0");
}

std::vector<VersionRecord> rated_versions(Transaction& tx) {
  return versions_where(tx, "v.state = 'active' OR v.games > 0");
}

std::vector<PairTotal> pair_totals(Transaction& tx) {
  std::vector<PairTotal> totals;
  soci::rowset<soci::row> rows =
      (tx.sql().prepare << "SELECT a, b, games, points_a FROM pair_totals WHERE games > 0");
  for (const soci::row& row : rows) {
    totals.push_back(
        {row_integer(row, 0), row_integer(row, 1), row_real(row, 2), row_real(row, 3)});
  }
  return totals;
}

void store_ratings(Transaction& tx, const std::vector<StoredRating>& ratings, std::int64_t now) {
  for (const StoredRating& r : ratings) {
    int provisional = r.provisional ? 1 : 0;
    soci::statement update = (tx.sql().prepare << "UPDATE versions SET rating = :r, low = :l,"
                                                  " high = :h, provisional = :p"
                                                  " WHERE id = :v AND state = 'active'",
                              soci::use(r.rating), soci::use(r.low), soci::use(r.high),
                              soci::use(provisional), soci::use(r.id));
    update.execute(true);
    if (update.get_affected_rows() == 0) continue;
    tx.sql() << "INSERT INTO rating_history (version, taken, rating) VALUES (:v, :t, :r)",
        soci::use(r.id), soci::use(now), soci::use(r.rating);
  }
}

std::vector<std::int64_t> versions_with_history_over(Transaction& tx, std::size_t limit) {
  std::vector<std::int64_t> versions;
  long long most = static_cast<long long>(limit);
  soci::rowset<long long> rows =
      (tx.sql().prepare << "SELECT version FROM rating_history GROUP BY version"
                           " HAVING COUNT(*) > :n",
       soci::use(most));
  for (long long version : rows) versions.push_back(version);
  return versions;
}

std::vector<HistoryPoint> rating_history(Transaction& tx, std::int64_t version) {
  std::vector<HistoryPoint> points;
  soci::rowset<soci::row> rows =
      (tx.sql().prepare << "SELECT taken, rating FROM rating_history WHERE version = :v"
                           " ORDER BY taken",
       soci::use(version));
  for (const soci::row& row : rows) {
    points.emplace_back(row_integer(row, 0), row_real(row, 1));
  }
  return points;
}

void replace_rating_history(Transaction& tx, std::int64_t version,
                            const std::vector<HistoryPoint>& points) {
  tx.sql() << "DELETE FROM rating_history WHERE version = :v", soci::use(version);
  for (const auto& [taken, rating] : points) {
    tx.sql() << "INSERT INTO rating_history (version, taken, rating) VALUES (:v, :t, :r)",
        soci::use(version), soci::use(taken), soci::use(rating);
  }
}

std::vector<std::int64_t> top_active_versions(Transaction& tx, int n) {
  std::vector<std::int64_t> top;
  soci::rowset<long long> rows =
      (tx.sql().prepare << "SELECT v.id FROM versions v JOIN entrants e ON e.id = v.entrant"
                           " WHERE v.state = 'active' AND e.disabled = 0"
                           " ORDER BY COALESCE(v.rating, 0) DESC, v.id LIMIT :n",
       soci::use(n));
  for (long long id : rows) top.push_back(id);
  return top;
}

std::vector<FinalGame> final_games(Transaction& tx) {
  std::vector<FinalGame> games;
  soci::rowset<soci::row> rows =
      (tx.sql().prepare << "SELECT id, player1, player2, points1, points2, winner, files"
                           " FROM games WHERE is_final = 1 AND voided = 0 ORDER BY id");
  for (const soci::row& row : rows) {
    games.push_back({row_integer(row, 0), row_integer(row, 1), row_integer(row, 2),
                     static_cast<int>(row_integer(row, 3)), static_cast<int>(row_integer(row, 4)),
                     static_cast<int>(row_integer(row, 5)), row_text(row, 6)});
  }
  return games;
}

void store_final_standings(Transaction& tx, const std::vector<FinalStanding>& standings) {
  tx.sql() << "DELETE FROM final_standings";
  long long place = 0;
  for (const FinalStanding& s : standings) {
    ++place;
    tx.sql() << "INSERT INTO final_standings (place, version, rating, low, high, games, wins,"
                " draws, losses) VALUES (:p, :v, :r, :l, :h, :g, :w, :d, :x)",
        soci::use(place), soci::use(s.version), soci::use(s.rating), soci::use(s.low),
        soci::use(s.high), soci::use(s.games), soci::use(s.wins), soci::use(s.draws),
        soci::use(s.losses);
  }
}

}  // namespace ladder::store
