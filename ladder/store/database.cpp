#include "ladder/store/database.h"

#include <soci/postgresql/soci-postgresql.h>
#include <soci/sqlite3/soci-sqlite3.h>

namespace ladder::store {

namespace {

constexpr std::string_view kSqlitePrefix = "sqlite:";

// WAL lets the leaderboard be read while a report is written; FULL makes a commit survive a
// power cut, not only a crash of the server.
void configure_sqlite(soci::session& sql) {
  std::string mode;
  sql << "PRAGMA journal_mode=WAL", soci::into(mode);
  sql << "PRAGMA synchronous=FULL";
}

}  // namespace

std::string default_database_url(const std::filesystem::path& data_dir) {
  return std::string(kSqlitePrefix) + (data_dir / "ladder.db").string();
}

Database::Database(const std::string& url)
    : backend_(url.starts_with(kSqlitePrefix) ? Backend::kSqlite : Backend::kPostgresql) {
  try {
    if (backend_ == Backend::kSqlite) {
      std::string path = url.substr(kSqlitePrefix.size());
      if (path.empty() || path.find('"') != std::string::npos) {
        throw DatabaseError("the SQLite database needs a plain file path: sqlite:PATH");
      }
      // SOCI's timeout is SQLite's busy timeout: a writer waits up to 30 s for another.
      session_.open(soci::sqlite3, "db=\"" + path + "\" timeout=30");
      configure_sqlite(session_);
    } else {
      session_.open(soci::postgresql, url);
      // "already exists, skipping" and the like are no news to the operator.
      session_ << "SET client_min_messages = warning";
    }
  } catch (const soci::soci_error& e) {
    throw DatabaseError("cannot open the database " + url + ": " + e.what());
  }
}

Transaction::Transaction(Database& db, Access access) : db_(db), lock_(db.mutex_) {
  if (db_.backend_ == Backend::kSqlite) {
    db_.session_ << (access == Access::kWrite ? "BEGIN IMMEDIATE" : "BEGIN");
  } else {
    db_.session_ << "BEGIN";
  }
}

Transaction::~Transaction() {
  if (!open_) return;
  try {
    db_.session_ << "ROLLBACK";
  } catch (const soci::soci_error&) {
    // A broken connection has no transaction left to end.
  }
}

void Transaction::commit() {
  db_.session_ << "COMMIT";
  open_ = false;
}

}  // namespace ladder::store
