#include "ladder/store/versions.h"

#include "ladder/store/ladder_settings.h"

namespace ladder::store {

namespace {

constexpr std::int64_t kDay = 24 * 60 * 60;

void check_in(Transaction& tx, std::int64_t entrant, int per_day, std::int64_t now) {
  long long disabled = 1;
  tx.sql() << "SELECT disabled FROM entrants WHERE id = :e", soci::use(entrant),
      soci::into(disabled);
  if (disabled != 0) throw SubmissionRefused(403, "this entrant is disabled");
  if (submissions_frozen(tx)) throw SubmissionRefused(403, "submissions are frozen");
  long long recent = 0;
  std::int64_t since = now - kDay;
  tx.sql() << "SELECT COUNT(*) FROM versions WHERE entrant = :e AND submitted > :s",
      soci::use(entrant), soci::use(since), soci::into(recent);
  if (recent >= per_day) {
    throw SubmissionRefused(
        429, "at most " + std::to_string(per_day) + " versions a day: try again later");
  }
}

}  // namespace

void check_may_submit(Database& db, std::int64_t entrant, int per_day, std::int64_t now) {
  Transaction tx(db, Access::kRead);
  check_in(tx, entrant, per_day, now);
}

NewVersion add_version(Database& db, std::int64_t entrant, std::string_view sha256, int per_day,
                       std::int64_t now) {
  Transaction tx(db);
  check_in(tx, entrant, per_day, now);
  long long last = 0;
  soci::indicator ind = soci::i_null;
  tx.sql() << "SELECT MAX(number) FROM versions WHERE entrant = :e", soci::use(entrant),
      soci::into(last, ind);
  NewVersion version;
  version.number = ind == soci::i_ok ? static_cast<int>(last) + 1 : 1;
  std::string sources(sha256);
  tx.sql() << "INSERT INTO versions (entrant, number, sources, state, submitted)"
              " VALUES (:e, :n, :s, 'queued', :t) RETURNING id",
      soci::use(entrant), soci::use(version.number), soci::use(sources), soci::use(now),
      soci::into(version.id);
  tx.sql() << "INSERT INTO jobs (kind, priority, version, state, created)"
              " VALUES ('build', 0, :v, 'queued', :t)",
      soci::use(version.id), soci::use(now);
  tx.commit();
  return version;
}

void set_version_built(Transaction& tx, std::int64_t version, bool passed,
                       const std::string& reason) {
  if (!passed) {
    tx.sql() << "UPDATE versions SET state = 'failed', reason = :r WHERE id = :v",
        soci::use(reason), soci::use(version);
    return;
  }
  long long entrant = 0;
  tx.sql() << "SELECT entrant FROM versions WHERE id = :v", soci::use(version), soci::into(entrant);
  tx.sql() << "UPDATE versions SET state = 'retired' WHERE entrant = :e AND state = 'active'",
      soci::use(entrant);
  tx.sql() << "UPDATE versions SET state = 'active', reason = NULL WHERE id = :v",
      soci::use(version);
}

VersionRef version_ref(Transaction& tx, std::int64_t version) {
  VersionRef ref;
  ref.version_id = version;
  tx.sql() << "SELECT e.name, v.number, v.sources FROM versions v JOIN entrants e"
              " ON e.id = v.entrant WHERE v.id = :v",
      soci::use(version), soci::into(ref.entrant), soci::into(ref.number), soci::into(ref.sources);
  return ref;
}

}  // namespace ladder::store
