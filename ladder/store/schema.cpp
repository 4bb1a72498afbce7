#include "ladder/store/schema.h"

#include <string>
#include <vector>

namespace ladder::store {

namespace {

// "ID" stands for the key column, the one thing the two databases spell differently.
const std::vector<std::vector<std::string>> kSteps = {
    {
        "CREATE TABLE settings (name TEXT PRIMARY KEY, value TEXT NOT NULL)",
        "CREATE TABLE entrants (id ID, name TEXT NOT NULL UNIQUE, token_hash TEXT NOT NULL UNIQUE,"
        " disabled BIGINT NOT NULL DEFAULT 0, created BIGINT NOT NULL)",
        "CREATE TABLE workers (id ID, name TEXT NOT NULL UNIQUE, token_hash TEXT NOT NULL UNIQUE,"
        " blocked BIGINT NOT NULL DEFAULT 0, created BIGINT NOT NULL,"
        " last_heartbeat BIGINT NOT NULL DEFAULT 0, games BIGINT NOT NULL DEFAULT 0)",
        "CREATE TABLE slots (slot TEXT PRIMARY KEY, worker BIGINT NOT NULL, seen BIGINT NOT NULL)",
        "CREATE TABLE versions (id ID, entrant BIGINT NOT NULL, number BIGINT NOT NULL,"
        " sources TEXT NOT NULL, state TEXT NOT NULL, reason TEXT, build_log TEXT,"
        " submitted BIGINT NOT NULL, rating DOUBLE PRECISION, low DOUBLE PRECISION,"
        " high DOUBLE PRECISION, provisional BIGINT NOT NULL DEFAULT 1,"
        " pairs BIGINT NOT NULL DEFAULT 0, games BIGINT NOT NULL DEFAULT 0,"
        " wins BIGINT NOT NULL DEFAULT 0, draws BIGINT NOT NULL DEFAULT 0,"
        " losses BIGINT NOT NULL DEFAULT 0, last_played BIGINT NOT NULL DEFAULT 0,"
        " last_opponent BIGINT NOT NULL DEFAULT 0, UNIQUE (entrant, number))",
        "CREATE INDEX versions_by_state ON versions (state, rating)",
        "CREATE INDEX versions_by_submission ON versions (entrant, submitted)",
        "CREATE TABLE jobs (id ID, kind TEXT NOT NULL, priority BIGINT NOT NULL,"
        " is_ranked BIGINT NOT NULL DEFAULT 0, is_final BIGINT NOT NULL DEFAULT 0,"
        " version BIGINT NOT NULL DEFAULT 0, player1 BIGINT NOT NULL DEFAULT 0,"
        " player2 BIGINT NOT NULL DEFAULT 0, state TEXT NOT NULL,"
        " attempt BIGINT NOT NULL DEFAULT 0, lease TEXT, worker BIGINT NOT NULL DEFAULT 0,"
        " lease_expires BIGINT NOT NULL DEFAULT 0, reason TEXT, created BIGINT NOT NULL,"
        " finished BIGINT NOT NULL DEFAULT 0)",
        "CREATE INDEX jobs_queue ON jobs (state, priority, id)",
        "CREATE INDEX jobs_by_lease_expiry ON jobs (state, lease_expires)",
        "CREATE INDEX jobs_by_version ON jobs (version)",
        "CREATE TABLE leases (lease TEXT PRIMARY KEY, job BIGINT NOT NULL, worker BIGINT NOT NULL,"
        " state TEXT NOT NULL)",
        "CREATE TABLE games (id ID, job BIGINT NOT NULL, seat_order BIGINT NOT NULL,"
        " player1 BIGINT NOT NULL, player2 BIGINT NOT NULL, points1 BIGINT NOT NULL,"
        " points2 BIGINT NOT NULL, outcome TEXT NOT NULL, winner BIGINT NOT NULL,"
        " is_ranked BIGINT NOT NULL, is_final BIGINT NOT NULL, finished BIGINT NOT NULL,"
        " worker BIGINT NOT NULL, voided BIGINT NOT NULL DEFAULT 0, files TEXT NOT NULL,"
        " UNIQUE (job, seat_order))",
        "CREATE INDEX games_by_player1 ON games (player1, id)",
        "CREATE INDEX games_by_player2 ON games (player2, id)",
        "CREATE INDEX games_by_worker ON games (worker)",
        "CREATE TABLE pair_totals (a BIGINT NOT NULL, b BIGINT NOT NULL,"
        " games DOUBLE PRECISION NOT NULL, points_a DOUBLE PRECISION NOT NULL,"
        " PRIMARY KEY (a, b))",
        "CREATE TABLE rating_history (version BIGINT NOT NULL, taken BIGINT NOT NULL,"
        " rating DOUBLE PRECISION NOT NULL)",
        "CREATE INDEX rating_history_by_version ON rating_history (version, taken)",
        "CREATE TABLE final_standings (place BIGINT PRIMARY KEY, version BIGINT NOT NULL,"
        " rating DOUBLE PRECISION NOT NULL, low DOUBLE PRECISION NOT NULL,"
        " high DOUBLE PRECISION NOT NULL, games BIGINT NOT NULL, wins BIGINT NOT NULL,"
        " draws BIGINT NOT NULL, losses BIGINT NOT NULL)",
    },
    {
        "CREATE TABLE sessions (id_hash TEXT PRIMARY KEY, entrant BIGINT NOT NULL,"
        " csrf TEXT NOT NULL, created BIGINT NOT NULL, expires BIGINT NOT NULL)",
        "CREATE INDEX sessions_by_expiry ON sessions (expires)",
        "CREATE TABLE challenges (id ID, entrant BIGINT NOT NULL, own_version BIGINT NOT NULL,"
        " opponent_version BIGINT NOT NULL, pairs BIGINT NOT NULL, created BIGINT NOT NULL)",
        "CREATE INDEX challenges_by_entrant ON challenges (entrant, created)",
        "ALTER TABLE jobs ADD COLUMN challenge BIGINT NOT NULL DEFAULT 0",
    },
};

std::string spelled_for(Backend backend, std::string statement) {
  const std::string key =
      backend == Backend::kSqlite ? "INTEGER PRIMARY KEY" : "BIGSERIAL PRIMARY KEY";
  if (auto at = statement.find("(id ID"); at != std::string::npos) {
    statement.replace(at + 4, 2, key);
  }
  return statement;
}

int applied_version(Transaction& tx) {
  tx.sql() << "CREATE TABLE IF NOT EXISTS schema_version (version BIGINT NOT NULL)";
  long long version = 0;
  soci::indicator ind = soci::i_null;
  tx.sql() << "SELECT MAX(version) FROM schema_version", soci::into(version, ind);
  return ind == soci::i_ok ? static_cast<int>(version) : 0;
}

}  // namespace

int latest_schema_version() { return static_cast<int>(kSteps.size()); }

void migrate(Database& db) {
  try {
    for (;;) {
      Transaction tx(db);
      int version = applied_version(tx);
      if (version > latest_schema_version()) {
        throw DatabaseError("the database has schema version " + std::to_string(version) +
                            ", newer than this program's " +
                            std::to_string(latest_schema_version()));
      }
      if (version == latest_schema_version()) {
        tx.commit();
        return;
      }
      for (const std::string& statement : kSteps[version]) {
        tx.sql() << spelled_for(db.backend(), statement);
      }
      long long next = version + 1;
      tx.sql() << "INSERT INTO schema_version (version) VALUES (:v)", soci::use(next);
      tx.commit();
    }
  } catch (const soci::soci_error& e) {
    throw DatabaseError(std::string("cannot set up the database's tables: ") + e.what());
  }
}

}  // namespace ladder::store
