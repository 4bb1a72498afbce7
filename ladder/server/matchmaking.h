// Keeps the queue of ranked pairs at about twice the number of worker slots that asked for work
// in the last few minutes, so that no worker waits and no pick goes stale: when it is short, the
// league's matchmaker picks the pairs from the active versions' records.
#pragma once

#include <cstdint>
#include <mutex>
#include <random>

#include "ladder/store/database.h"

namespace ladder::server {

inline constexpr std::int64_t kSlotMemorySeconds = 300;
inline constexpr int kQueuedPairsPerSlot = 2;

class Matchmaking {
 public:
  explicit Matchmaking(store::Database& db);
  void top_up(std::int64_t now);

 private:
  store::Database& db_;
  std::mutex mutex_;
  std::mt19937_64 rng_;
};

}  // namespace ladder::server
