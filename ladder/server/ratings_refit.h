// The ratings, fitted again whenever the games they count have changed (the counter the report
// transactions bump), from the pairings' totals, each fit starting from the last. Each fit stores
// every active version's rating and interval and a history point, and thins a history grown past
// kHistoryLimit points to kHistoryKept.
#pragma once

#include <cstdint>

#include "ladder/league/ladder_ratings.h"
#include "ladder/store/database.h"

namespace ladder::server {

inline constexpr std::size_t kHistoryLimit = 400;
inline constexpr std::size_t kHistoryKept = 200;

class RatingsRefit {
 public:
  // Refits when the games changed since the last fit; true when it did.
  bool run_if_due(store::Database& db, std::int64_t now);

 private:
  league::LadderRatings ratings_;
  std::int64_t fitted_generation_ = -1;
};

}  // namespace ladder::server
