#include "ladder/server/ratings_refit.h"

#include "ladder/league/rating_history.h"
#include "ladder/store/ladder_settings.h"
#include "ladder/store/ratings_store.h"

namespace ladder::server {

bool RatingsRefit::run_if_due(store::Database& db, std::int64_t now) {
  std::vector<league::ActiveVersion> versions;
  std::vector<league::PairingTotal> totals;
  std::int64_t generation = 0;
  {
    store::Transaction tx(db, store::Access::kRead);
    generation = store::ratings_generation(tx);
    if (generation == fitted_generation_) return false;
    for (const auto& r : store::rated_versions(tx)) {
      versions.push_back(
          {r.id, r.entrant, r.rating, r.pairs, r.in_flight, r.last_played, r.last_opponent});
    }
    for (const auto& t : store::pair_totals(tx)) totals.push_back({t.a, t.b, t.games, t.points_a});
  }
  std::vector<store::StoredRating> stored;
  for (const auto& r : ratings_.refit(versions, totals)) {
    stored.push_back({r.id, r.rating, r.low, r.high, r.provisional});
  }
  store::Transaction tx(db);
  store::store_ratings(tx, stored, now);
  for (std::int64_t version : store::versions_with_history_over(tx, kHistoryLimit)) {
    store::replace_rating_history(
        tx, version, league::thin_history(store::rating_history(tx, version), kHistoryKept));
  }
  tx.commit();
  fitted_generation_ = generation;
  return true;
}

}  // namespace ladder::server
