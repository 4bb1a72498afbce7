// The ladder's one database, SQLite or PostgreSQL, reached through one SOCI session that the
// whole process shares. Every use of it is a Transaction, which holds the session for its
// lifetime: a write begins with BEGIN IMMEDIATE on SQLite (so that two processes never both hold
// a read lock they then want to upgrade) and plain BEGIN on PostgreSQL; whatever was not
// committed is rolled back when the Transaction goes.
#pragma once

#include <soci/soci.h>

#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <string>

namespace ladder::store {

enum class Backend { kSqlite, kPostgresql };

// A database that cannot be opened, read or written, with the reason for the operator.
struct DatabaseError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// "sqlite:DIR/ladder.db", the database a data directory has when no other is named.
std::string default_database_url(const std::filesystem::path& data_dir);

class Database {
 public:
  // `url`: "sqlite:PATH", "postgresql://..." or a libpq "key=value ..." string. Throws
  // DatabaseError.
  explicit Database(const std::string& url);

  Backend backend() const { return backend_; }

 private:
  friend class Transaction;
  Backend backend_;
  std::mutex mutex_;
  soci::session session_;
};

enum class Access { kRead, kWrite };

class Transaction {
 public:
  explicit Transaction(Database& db, Access access = Access::kWrite);
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  ~Transaction();

  soci::session& sql() { return db_.session_; }
  Backend backend() const { return db_.backend_; }
  void commit();

 private:
  Database& db_;
  std::lock_guard<std::mutex> lock_;
  bool open_ = true;
};

}  // namespace ladder::store
