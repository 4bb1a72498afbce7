#include "ladder/site/site_sessions.h"

#include "ladder/store/secrets.h"

namespace ladder::site {

Session start_session(store::Database& db, std::int64_t entrant, std::string_view name,
                      std::int64_t now) {
  Session session{store::random_hex(32), entrant, std::string(name), store::random_hex(32)};
  std::string hash = store::sha256_hex(session.id);
  long long expires = now + kSessionSeconds;
  long long created = now;
  long long who = entrant;
  store::Transaction tx(db);
  tx.sql() << "DELETE FROM sessions WHERE expires < :now", soci::use(created);
  tx.sql() << "INSERT INTO sessions (id_hash, entrant, csrf, created, expires)"
              " VALUES (:h, :e, :c, :t, :x)",
      soci::use(hash), soci::use(who), soci::use(session.csrf), soci::use(created),
      soci::use(expires);
  tx.commit();
  return session;
}

std::optional<Session> find_session(store::Database& db, std::string_view id, std::int64_t now) {
  if (!store::is_hex64(id)) return std::nullopt;
  std::string hash = store::sha256_hex(id);
  long long at = now;
  long long entrant = 0;
  std::string name, csrf;
  store::Transaction tx(db, store::Access::kRead);
  tx.sql() << "SELECT s.entrant, e.name, s.csrf FROM sessions s JOIN entrants e"
              " ON e.id = s.entrant WHERE s.id_hash = :h AND s.expires >= :now"
              " AND e.disabled = 0",
      soci::use(hash), soci::use(at), soci::into(entrant), soci::into(name), soci::into(csrf);
  if (!tx.sql().got_data()) return std::nullopt;
  return Session{"", entrant, name, csrf};
}

void end_session(store::Database& db, std::string_view id) {
  if (!store::is_hex64(id)) return;
  std::string hash = store::sha256_hex(id);
  store::Transaction tx(db);
  tx.sql() << "DELETE FROM sessions WHERE id_hash = :h", soci::use(hash);
  tx.commit();
}

}  // namespace ladder::site
