#include "ladder/store/public_views.h"

#include <algorithm>
#include <limits>

#include "ladder/store/ratings_store.h"
#include "ladder/store/row_values.h"

namespace ladder::store {

namespace {

using nlohmann::json;

json nullable(const soci::row& row, std::size_t column) {
  if (row_is_null(row, column)) return nullptr;
  if (row.get_properties(column).get_data_type() == soci::dt_string) {
    return row_text(row, column);
  }
  return row_real(row, column);
}

// Columns 0 to 9 of a leaderboard row: name, number, rating, low, high, games, wins, draws,
// losses, provisional.
json standing(const soci::row& row, int rank) {
  return {{"rank", rank},
          {"entrant", row_text(row, 0)},
          {"version", row_integer(row, 1)},
          {"rating", nullable(row, 2)},
          {"low", nullable(row, 3)},
          {"high", nullable(row, 4)},
          {"games", row_integer(row, 5)},
          {"wins", row_integer(row, 6)},
          {"draws", row_integer(row, 7)},
          {"losses", row_integer(row, 8)},
          {"provisional", row_integer(row, 9) != 0}};
}

json final_standings(Transaction& tx) {
  long long count = 0;
  tx.sql() << "SELECT COUNT(*) FROM final_standings", soci::into(count);
  if (count == 0) return nullptr;
  json entries = json::array();
  soci::rowset<soci::row> rows =
      (tx.sql().prepare
       << "SELECT e.name, v.number, f.rating, f.low, f.high, f.games, f.wins, f.draws, f.losses,"
          " f.place FROM final_standings f JOIN versions v ON v.id = f.version"
          " JOIN entrants e ON e.id = v.entrant ORDER BY f.place");
  for (const soci::row& row : rows) {
    json entry = standing(row, static_cast<int>(entries.size()) + 1);
    entry["provisional"] = false;
    entries.push_back(std::move(entry));
  }
  return entries;
}

json history_json(Transaction& tx, std::int64_t version) {
  json points = json::array();
  for (const auto& [taken, rating] : rating_history(tx, version)) {
    points.push_back({taken, rating});
  }
  return points;
}

json game_json(const soci::row& row) {
  int winner = static_cast<int>(row_integer(row, 7));
  return {{"id", row_integer(row, 0)},
          {"job", row_integer(row, 1)},
          {"players",
           {{{"entrant", row_text(row, 11)}, {"version", row_integer(row, 12)}},
            {{"entrant", row_text(row, 13)}, {"version", row_integer(row, 14)}}}},
          {"points", {row_integer(row, 4), row_integer(row, 5)}},
          {"outcome", row_text(row, 6)},
          {"winner", winner},
          {"ranked", row_integer(row, 8) != 0},
          {"final", row_integer(row, 9) != 0},
          {"finished", row_integer(row, 10)}};
}

const char* const kGameColumns =
    "SELECT g.id, g.job, g.player1, g.player2, g.points1, g.points2, g.outcome, g.winner,"
    " g.is_ranked, g.is_final, g.finished, e1.name, v1.number, e2.name, v2.number, g.files,"
    " v1.entrant, v2.entrant FROM games g JOIN versions v1 ON v1.id = g.player1"
    " JOIN entrants e1 ON e1.id = v1.entrant JOIN versions v2 ON v2.id = g.player2"
    " JOIN entrants e2 ON e2.id = v2.entrant ";

}  // namespace

json leaderboard_json(Transaction& tx) {
  json entries = json::array();
  soci::rowset<soci::row> rows =
      (tx.sql().prepare
       << "SELECT e.name, v.number, v.rating, v.low, v.high, v.games, v.wins, v.draws, v.losses,"
          " v.provisional FROM versions v JOIN entrants e ON e.id = v.entrant"
          " WHERE v.state = 'active' AND e.disabled = 0"
          " ORDER BY v.rating IS NULL, v.rating DESC, v.id");
  for (const soci::row& row : rows) {
    entries.push_back(standing(row, static_cast<int>(entries.size()) + 1));
  }
  return {{"entries", std::move(entries)}, {"final", final_standings(tx)}};
}

std::optional<json> entrant_json(Transaction& tx, std::string_view name) {
  std::string text(name);
  long long id = 0;
  tx.sql() << "SELECT id FROM entrants WHERE name = :n", soci::use(text), soci::into(id);
  if (!tx.sql().got_data()) return std::nullopt;
  json versions = json::array();
  json active = nullptr;
  soci::rowset<soci::row> rows =
      (tx.sql().prepare
           << "SELECT v.id, v.number, v.state, v.reason, v.submitted, v.rating, v.low, v.high,"
              " v.pairs, v.games, j.state FROM versions v LEFT JOIN jobs j ON j.version = v.id"
              " AND j.kind = 'build' WHERE v.entrant = :e ORDER BY v.number",
       soci::use(id));
  for (const soci::row& row : rows) {
    std::string state = row_text(row, 2);
    if (state == "queued" && row_text(row, 10) == "leased") {
      state = "building";
    }
    if (state == "active") active = row_integer(row, 1);
    versions.push_back({{"number", row_integer(row, 1)},
                        {"state", state},
                        {"reason", nullable(row, 3)},
                        {"submitted", row_integer(row, 4)},
                        {"rating", nullable(row, 5)},
                        {"low", nullable(row, 6)},
                        {"high", nullable(row, 7)},
                        {"pairs", row_integer(row, 8)},
                        {"games", row_integer(row, 9)},
                        {"history", history_json(tx, row_integer(row, 0))}});
  }
  return json{{"entrant", text}, {"active", active}, {"versions", std::move(versions)}};
}

json games_json(Transaction& tx, const GamesQuery& query) {
  std::int64_t before = query.before > 0 ? query.before : std::numeric_limits<long long>::max();
  int fetch = std::clamp(query.limit, 1, 500) + 1;
  json games = json::array();
  json next = nullptr;
  soci::rowset<soci::row> rows =
      (tx.sql().prepare
           << kGameColumns
           << "WHERE g.voided = 0 AND g.id < :before AND (:v0 = 0 OR g.player1 = :v1 OR"
              " g.player2 = :v2) AND (:e0 = 0 OR v1.entrant = :e1 OR v2.entrant = :e2)"
              " ORDER BY g.id DESC LIMIT :n",
       soci::use(before), soci::use(query.version), soci::use(query.version),
       soci::use(query.version), soci::use(query.entrant), soci::use(query.entrant),
       soci::use(query.entrant), soci::use(fetch));
  for (const soci::row& row : rows) {
    if (static_cast<int>(games.size()) + 1 == fetch) {
      next = games.back()["id"];
      break;
    }
    games.push_back(game_json(row));
  }
  return {{"games", std::move(games)}, {"next", next}};
}

std::optional<GameView> game_view(Transaction& tx, std::int64_t id) {
  soci::rowset<soci::row> rows =
      (tx.sql().prepare << kGameColumns << "WHERE g.id = :g AND g.voided = 0", soci::use(id));
  for (const soci::row& row : rows) {
    GameView view;
    view.json = game_json(row);
    view.files = row_text(row, 15);
    view.entrants = {row_integer(row, 16), row_integer(row, 17)};
    return view;
  }
  return std::nullopt;
}

std::optional<std::int64_t> version_id(Transaction& tx, std::int64_t entrant, int number) {
  long long id = 0;
  tx.sql() << "SELECT id FROM versions WHERE entrant = :e AND number = :n", soci::use(entrant),
      soci::use(number), soci::into(id);
  if (!tx.sql().got_data()) return std::nullopt;
  return id;
}

json status_json(Transaction& tx) {
  json queue = json::array();
  soci::rowset<soci::row> counts =
      (tx.sql().prepare
       << "SELECT kind, is_final, state, COUNT(*) AS n FROM jobs GROUP BY kind, is_final, state"
          " ORDER BY kind, is_final, state");
  for (const soci::row& row : counts) {
    std::string kind = row_text(row, 0);
    if (row_integer(row, 1) != 0) kind = "final pair";
    queue.push_back({{"kind", kind}, {"state", row_text(row, 2)}, {"jobs", row_integer(row, 3)}});
  }
  json workers = json::array();
  soci::rowset<soci::row> rows =
      (tx.sql().prepare
       << "SELECT name, blocked, last_heartbeat, games FROM workers ORDER BY name");
  for (const soci::row& row : rows) {
    workers.push_back({{"name", row_text(row, 0)},
                       {"blocked", row_integer(row, 1) != 0},
                       {"last_heartbeat", row_integer(row, 2)},
                       {"games", row_integer(row, 3)}});
  }
  json failed = json::array();
  soci::rowset<soci::row> jobs =
      (tx.sql().prepare
       << "SELECT id, kind, reason FROM jobs WHERE state = 'failed' ORDER BY id DESC LIMIT 100");
  for (const soci::row& row : jobs) {
    failed.push_back(
        {{"job", row_integer(row, 0)}, {"kind", row_text(row, 1)}, {"reason", nullable(row, 2)}});
  }
  return {{"queue", std::move(queue)}, {"workers", std::move(workers)}, {"failed", failed}};
}

}  // namespace ladder::store
