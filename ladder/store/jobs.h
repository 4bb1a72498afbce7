// The queue of jobs the workers lease: build jobs first, then the final round's pairs, then
// ranked pairs, oldest first within each. A lease is one worker's claim on one job until it
// expires; a heartbeat renews it. An expired lease, or a job the worker could not do, puts the
// job back with one attempt more; after kMaxAttempts it fails with the reason. A job handed back
// (the worker stopping) uses no attempt.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ladder/store/database.h"
#include "ladder/store/versions.h"

namespace ladder::store {

inline constexpr int kMaxAttempts = 3;

struct LeasedJob {
  std::int64_t id = 0;
  std::string lease;
  int attempt = 0;
  bool build = true;  // otherwise a pair of games
  bool ranked = false;
  bool final = false;
  std::string seed;                 // pairs only
  std::vector<VersionRef> players;  // the version to build, or the pair in seat order
};

std::optional<LeasedJob> lease_job(Database& db, std::int64_t worker, std::string_view slot,
                                   int lease_seconds, std::int64_t now);

// False when the lease is no longer this worker's.
bool renew_lease(Database& db, std::int64_t worker, std::string_view lease, int lease_seconds,
                 std::int64_t now);
bool return_lease(Database& db, std::int64_t worker, std::string_view lease);

// Puts back or fails every job whose lease expired before `now`; returns how many.
int expire_leases(Database& db, std::int64_t now);

// Counts the attempt of a job that went wrong (its lease expired, its worker could not do it):
// back to the queue, or failed after kMaxAttempts.
void count_failed_attempt(Transaction& tx, std::int64_t job, const std::string& reason);

using VersionPair = std::pair<std::int64_t, std::int64_t>;
void queue_pairs(Transaction& tx, const std::vector<VersionPair>& pairs, bool final,
                 std::int64_t now);

// Ranked pair jobs waiting for a worker.
std::int64_t queued_ranked_jobs(Transaction& tx);
// Distinct worker slots that asked for a job since `since`.
std::int64_t recent_slots(Transaction& tx, std::int64_t since);
// Final-round jobs not yet done or failed.
std::int64_t pending_final_jobs(Transaction& tx);

}  // namespace ladder::store
