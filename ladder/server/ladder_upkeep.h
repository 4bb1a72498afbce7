// The server's background thread: once a second (so the ratings are refitted at most that often
// however fast reports come), it puts back the jobs whose leases expired, refits the ratings when
// games changed, tops up the ranked queue and settles the final round when its last job is in. A
// failure is written to standard error and tried again on the next round; it never stops the
// server.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "ladder/server/matchmaking.h"
#include "ladder/server/ratings_refit.h"
#include "ladder/store/data_dir.h"
#include "ladder/store/database.h"

namespace ladder::server {

class LadderUpkeep {
 public:
  LadderUpkeep(store::Database& db, store::DataDir dir, Matchmaking& matchmaking);
  ~LadderUpkeep();
  LadderUpkeep(const LadderUpkeep&) = delete;
  LadderUpkeep& operator=(const LadderUpkeep&) = delete;

  void start();

  // One round of the work, also run by the thread.
  void run_once();

 private:
  void loop();

  store::Database& db_;
  store::DataDir dir_;
  Matchmaking& matchmaking_;
  RatingsRefit refit_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace ladder::server
