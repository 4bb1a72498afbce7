#include "ladder/store/accounts.h"

#include "arena/game/game_names.h"
#include "ladder/store/secrets.h"

namespace ladder::store {

namespace {

std::string add_account(Database& db, std::string_view table, std::string_view name,
                        std::int64_t now) {
  if (auto problem = arena::player_name_problem(name)) throw AccountError(*problem);
  std::string token = new_token();
  std::string hash = sha256_hex(token), text(name);
  Transaction tx(db);
  long long taken = 0;
  tx.sql() << "SELECT COUNT(*) FROM " << table << " WHERE name = :n", soci::use(text),
      soci::into(taken);
  if (taken > 0) throw AccountError("the name " + text + " is taken");
  tx.sql() << "INSERT INTO " << table << " (name, token_hash, created) VALUES (:n, :h, :c)",
      soci::use(text), soci::use(hash), soci::use(now);
  tx.commit();
  return token;
}

std::optional<Caller> find_token(Transaction& tx, Role role, const std::string& hash) {
  const bool entrant = role == Role::kEntrant;
  std::string stored, name;
  long long id = 0, barred = 0;
  tx.sql() << "SELECT id, name, token_hash, " << (entrant ? "disabled" : "blocked") << " FROM "
           << (entrant ? "entrants" : "workers") << " WHERE token_hash = :h",
      soci::use(hash), soci::into(id), soci::into(name), soci::into(stored), soci::into(barred);
  if (!tx.sql().got_data() || barred != 0 || !constant_time_equal(stored, hash)) {
    return std::nullopt;
  }
  return Caller{role, id, name};
}

}  // namespace

std::string add_entrant(Database& db, std::string_view name, std::int64_t now) {
  return add_account(db, "entrants", name, now);
}

std::string add_worker(Database& db, std::string_view name, std::int64_t now) {
  return add_account(db, "workers", name, now);
}

void disable_entrant(Database& db, std::string_view name) {
  Transaction tx(db);
  std::string text(name);
  tx.sql() << "UPDATE entrants SET disabled = 1 WHERE name = :n", soci::use(text);
  if (!entrant_id(tx, name)) throw AccountError("no entrant is named " + text);
  tx.commit();
}

std::int64_t block_worker(Database& db, std::string_view name) {
  Transaction tx(db);
  std::string text(name);
  long long id = 0;
  tx.sql() << "SELECT id FROM workers WHERE name = :n", soci::use(text), soci::into(id);
  if (!tx.sql().got_data()) throw AccountError("no worker is named " + text);
  tx.sql() << "UPDATE workers SET blocked = 1 WHERE id = :w", soci::use(id);
  tx.sql() << "UPDATE leases SET state = 'expired' WHERE worker = :w AND state = 'held'",
      soci::use(id);
  tx.sql() << "UPDATE jobs SET state = 'queued', attempt = attempt - 1, lease = NULL, worker = 0"
              " WHERE worker = :w AND state = 'leased'",
      soci::use(id);
  tx.commit();
  return id;
}

std::optional<Caller> authenticate(Database& db, std::string_view token) {
  if (!is_hex64(token)) return std::nullopt;
  std::string hash = sha256_hex(token);
  Transaction tx(db, Access::kRead);
  if (auto caller = find_token(tx, Role::kEntrant, hash)) return caller;
  return find_token(tx, Role::kWorker, hash);
}

std::optional<std::int64_t> entrant_id(Transaction& tx, std::string_view name) {
  std::string text(name);
  long long id = 0;
  tx.sql() << "SELECT id FROM entrants WHERE name = :n", soci::use(text), soci::into(id);
  if (!tx.sql().got_data()) return std::nullopt;
  return id;
}

}  // namespace ladder::store
