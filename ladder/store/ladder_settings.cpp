#include "ladder/store/ladder_settings.h"

#include "ladder/store/secrets.h"

namespace ladder::store {

std::optional<std::string> setting(Transaction& tx, std::string_view name) {
  std::string key(name), value;
  tx.sql() << "SELECT value FROM settings WHERE name = :n", soci::use(key), soci::into(value);
  if (!tx.sql().got_data()) return std::nullopt;
  return value;
}

void set_setting(Transaction& tx, std::string_view name, std::string_view value) {
  std::string key(name), text(value);
  tx.sql() << "DELETE FROM settings WHERE name = :n", soci::use(key);
  tx.sql() << "INSERT INTO settings (name, value) VALUES (:n, :v)", soci::use(key), soci::use(text);
}

std::string ensure_ladder_seed(Database& db) {
  Transaction tx(db);
  if (auto seed = setting(tx, "seed")) return *seed;
  std::string seed = random_hex(32);
  set_setting(tx, "seed", seed);
  tx.commit();
  return seed;
}

std::string pair_seed(Transaction& tx, std::int64_t job) {
  auto seed = setting(tx, "seed");
  if (!seed) throw DatabaseError("the ladder has no seed: start the server once");
  return sha256_hex(*seed + "/job/" + std::to_string(job));
}

bool submissions_frozen(Transaction& tx) { return setting(tx, "frozen").value_or("0") == "1"; }

void set_submissions_frozen(Transaction& tx, bool frozen) {
  set_setting(tx, "frozen", frozen ? "1" : "0");
}

FinalState final_state(Transaction& tx) {
  std::string state = setting(tx, "final").value_or("");
  if (state == "running") return FinalState::kRunning;
  if (state == "done") return FinalState::kDone;
  return FinalState::kNone;
}

void set_final_state(Transaction& tx, FinalState state) {
  set_setting(tx, "final",
              state == FinalState::kRunning ? "running"
              : state == FinalState::kDone  ? "done"
                                            : "");
}

std::int64_t ratings_generation(Transaction& tx) {
  return std::stoll(setting(tx, "ratings_generation").value_or("0"));
}

void bump_ratings_generation(Transaction& tx) {
  set_setting(tx, "ratings_generation", std::to_string(ratings_generation(tx) + 1));
}

}  // namespace ladder::store
