#include "ladder/store/jobs.h"

#include "ladder/store/ladder_settings.h"
#include "ladder/store/secrets.h"

namespace ladder::store {

namespace {

constexpr int kBuildPriority = 0;
constexpr int kFinalPriority = 1;
constexpr int kRankedPriority = 2;

struct Claimed {
  long long id = 0, attempt = 0, ranked = 0, final = 0, version = 0, player1 = 0, player2 = 0;
  std::string kind;
};

// One UPDATE claims the next queued job. On PostgreSQL the row is locked and others skip it, so
// two servers on one database never claim the same job.
std::optional<Claimed> claim_next(Transaction& tx, std::int64_t worker, const std::string& lease,
                                  std::int64_t expires) {
  const char* lock = tx.backend() == Backend::kPostgresql ? " FOR UPDATE SKIP LOCKED" : "";
  Claimed job;
  tx.sql() << "UPDATE jobs SET state = 'leased', attempt = attempt + 1, lease = :l, worker = :w,"
              " lease_expires = :e WHERE id = (SELECT id FROM jobs WHERE state = 'queued'"
              " ORDER BY priority, id LIMIT 1"
           << lock
           << ") RETURNING id, kind, attempt, is_ranked, is_final, version, player1, player2",
      soci::use(lease), soci::use(worker), soci::use(expires), soci::into(job.id),
      soci::into(job.kind), soci::into(job.attempt), soci::into(job.ranked), soci::into(job.final),
      soci::into(job.version), soci::into(job.player1), soci::into(job.player2);
  if (!tx.sql().got_data()) return std::nullopt;
  return job;
}

bool playable(Transaction& tx, long long version) {
  long long count = 0;
  tx.sql() << "SELECT COUNT(*) FROM versions v JOIN entrants e ON e.id = v.entrant"
              " WHERE v.id = :v AND v.state = 'active' AND e.disabled = 0",
      soci::use(version), soci::into(count);
  return count > 0;
}

void note_slot(Transaction& tx, std::int64_t worker, std::string_view slot, std::int64_t now) {
  std::string name(slot);
  tx.sql() << "INSERT INTO slots (slot, worker, seen) VALUES (:s, :w, :t)"
              " ON CONFLICT (slot) DO UPDATE SET worker = excluded.worker, seen = excluded.seen",
      soci::use(name), soci::use(worker), soci::use(now);
  tx.sql() << "UPDATE workers SET last_heartbeat = :t WHERE id = :w", soci::use(now),
      soci::use(worker);
}

std::int64_t count(Transaction& tx, const std::string& query) {
  long long n = 0;
  tx.sql() << query, soci::into(n);
  return n;
}

}  // namespace

std::optional<LeasedJob> lease_job(Database& db, std::int64_t worker, std::string_view slot,
                                   int lease_seconds, std::int64_t now) {
  Transaction tx(db);
  note_slot(tx, worker, slot, now);
  for (;;) {
    std::string lease = random_hex(32);
    auto claimed = claim_next(tx, worker, lease, now + lease_seconds);
    if (!claimed) break;
    const bool build = claimed->kind == "build";
    // A ranked pair whose version retired or whose entrant was disabled while it waited is
    // played by no one.
    if (!build && claimed->ranked &&
        (!playable(tx, claimed->player1) || !playable(tx, claimed->player2))) {
      tx.sql() << "UPDATE jobs SET state = 'dropped', lease = NULL WHERE id = :j",
          soci::use(claimed->id);
      continue;
    }
    tx.sql() << "INSERT INTO leases (lease, job, worker, state) VALUES (:l, :j, :w, 'held')",
        soci::use(lease), soci::use(claimed->id), soci::use(worker);
    LeasedJob job;
    job.id = claimed->id;
    job.lease = lease;
    job.attempt = static_cast<int>(claimed->attempt);
    job.build = build;
    job.ranked = claimed->ranked != 0;
    job.final = claimed->final != 0;
    if (build) {
      job.players.push_back(version_ref(tx, claimed->version));
    } else {
      job.seed = pair_seed(tx, job.id);
      job.players.push_back(version_ref(tx, claimed->player1));
      job.players.push_back(version_ref(tx, claimed->player2));
    }
    tx.commit();
    return job;
  }
  tx.commit();
  return std::nullopt;
}

bool renew_lease(Database& db, std::int64_t worker, std::string_view lease, int lease_seconds,
                 std::int64_t now) {
  Transaction tx(db);
  std::string key(lease);
  std::int64_t expires = now + lease_seconds;
  long long held = 0;
  tx.sql() << "SELECT COUNT(*) FROM jobs WHERE lease = :l AND worker = :w AND state = 'leased'",
      soci::use(key), soci::use(worker), soci::into(held);
  if (held == 0) return false;
  tx.sql() << "UPDATE jobs SET lease_expires = :e WHERE lease = :l", soci::use(expires),
      soci::use(key);
  tx.sql() << "UPDATE workers SET last_heartbeat = :t WHERE id = :w", soci::use(now),
      soci::use(worker);
  tx.commit();
  return true;
}

bool return_lease(Database& db, std::int64_t worker, std::string_view lease) {
  Transaction tx(db);
  std::string key(lease);
  long long held = 0;
  tx.sql() << "SELECT COUNT(*) FROM jobs WHERE lease = :l AND worker = :w AND state = 'leased'",
      soci::use(key), soci::use(worker), soci::into(held);
  if (held == 0) return false;
  tx.sql() << "UPDATE leases SET state = 'returned' WHERE lease = :l", soci::use(key);
  tx.sql() << "UPDATE jobs SET state = 'queued', attempt = attempt - 1, lease = NULL, worker = 0"
              " WHERE lease = :l",
      soci::use(key);
  tx.commit();
  return true;
}

void count_failed_attempt(Transaction& tx, std::int64_t job, const std::string& reason) {
  long long attempt = 0, version = 0;
  std::string kind;
  tx.sql() << "SELECT attempt, kind, version FROM jobs WHERE id = :j", soci::use(job),
      soci::into(attempt), soci::into(kind), soci::into(version);
  if (attempt < kMaxAttempts) {
    tx.sql() << "UPDATE jobs SET state = 'queued', lease = NULL, worker = 0, reason = :r"
                " WHERE id = :j",
        soci::use(reason), soci::use(job);
    return;
  }
  std::string why = "failed " + std::to_string(attempt) + " times, last: " + reason;
  tx.sql() << "UPDATE jobs SET state = 'failed', lease = NULL, reason = :r WHERE id = :j",
      soci::use(why), soci::use(job);
  if (kind == "build") set_version_built(tx, version, false, "the build could not be run: " + why);
}

int expire_leases(Database& db, std::int64_t now) {
  Transaction tx(db);
  std::vector<long long> ids(1000);
  std::vector<std::string> leases(1000);
  tx.sql() << "SELECT id, lease FROM jobs WHERE state = 'leased' AND lease_expires < :t"
              " ORDER BY id LIMIT 1000",
      soci::use(now), soci::into(ids), soci::into(leases);
  for (std::size_t i = 0; i < ids.size(); ++i) {
    tx.sql() << "UPDATE leases SET state = 'expired' WHERE lease = :l", soci::use(leases[i]);
    count_failed_attempt(tx, ids[i], "its lease expired without a report");
  }
  tx.commit();
  return static_cast<int>(ids.size());
}

void queue_pairs(Transaction& tx, const std::vector<VersionPair>& pairs, bool final,
                 std::int64_t now) {
  int priority = final ? kFinalPriority : kRankedPriority;
  int ranked = final ? 0 : 1, is_final = final ? 1 : 0;
  for (const auto& [first, second] : pairs) {
    tx.sql() << "INSERT INTO jobs (kind, priority, is_ranked, is_final, player1, player2, state,"
                " created) VALUES ('pair', :p, :r, :f, :a, :b, 'queued', :t)",
        soci::use(priority), soci::use(ranked), soci::use(is_final), soci::use(first),
        soci::use(second), soci::use(now);
  }
}

std::int64_t queued_ranked_jobs(Transaction& tx) {
  return count(tx, "SELECT COUNT(*) FROM jobs WHERE state = 'queued' AND is_ranked = 1");
}

std::int64_t recent_slots(Transaction& tx, std::int64_t since) {
  long long n = 0;
  tx.sql() << "SELECT COUNT(*) FROM slots WHERE seen >= :s", soci::use(since), soci::into(n);
  return n;
}

std::int64_t pending_final_jobs(Transaction& tx) {
  return count(tx,
               "SELECT COUNT(*) FROM jobs WHERE is_final = 1 AND state IN ('queued', 'leased')");
}

}  // namespace ladder::store
