#include "ladder/server/matchmaking.h"

#include "ladder/league/matchmaker.h"
#include "ladder/store/jobs.h"
#include "ladder/store/ladder_settings.h"
#include "ladder/store/ratings_store.h"

namespace ladder::server {

namespace {

league::ActiveVersion to_league(const store::VersionRecord& record) {
  return {record.id,        record.entrant,     record.rating,       record.pairs,
          record.in_flight, record.last_played, record.last_opponent};
}

}  // namespace

Matchmaking::Matchmaking(store::Database& db) : db_(db), rng_(std::random_device{}()) {}

void Matchmaking::top_up(std::int64_t now) {
  std::lock_guard lock(mutex_);
  store::Transaction tx(db_);
  std::int64_t target = kQueuedPairsPerSlot * store::recent_slots(tx, now - kSlotMemorySeconds);
  std::int64_t queued = store::queued_ranked_jobs(tx);
  if (queued >= target) return;
  std::vector<league::ActiveVersion> versions;
  for (const auto& record : store::playable_versions(tx)) versions.push_back(to_league(record));
  if (versions.size() < 2) return;
  auto picks =
      league::pick_pairs(std::move(versions), static_cast<std::size_t>(target - queued), rng_);
  std::vector<store::VersionPair> pairs;
  for (const auto& pick : picks) pairs.emplace_back(pick.first, pick.second);
  store::queue_pairs(tx, pairs, false, now);
  tx.commit();
}

}  // namespace ladder::server
