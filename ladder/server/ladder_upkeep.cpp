#include "ladder/server/ladder_upkeep.h"

#include <chrono>
#include <ctime>
#include <iostream>

#include "ladder/server/final_evaluation.h"
#include "ladder/store/jobs.h"

namespace ladder::server {

LadderUpkeep::LadderUpkeep(store::Database& db, store::DataDir dir, Matchmaking& matchmaking)
    : db_(db), dir_(std::move(dir)), matchmaking_(matchmaking) {}

LadderUpkeep::~LadderUpkeep() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void LadderUpkeep::start() {
  thread_ = std::thread([this] { loop(); });
}

void LadderUpkeep::run_once() {
  std::int64_t now = std::time(nullptr);
  store::expire_leases(db_, now);
  refit_.run_if_due(db_, now);
  matchmaking_.top_up(now);
  settle_final_round(db_, dir_);
}

void LadderUpkeep::loop() {
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      wake_.wait_for(lock, std::chrono::seconds(1), [this] { return stopping_; });
      if (stopping_) return;
    }
    try {
      run_once();
    } catch (const std::exception& e) {
      std::cerr << "zarvo-ladder: upkeep: " << e.what() << std::endl;
    }
  }
}

}  // namespace ladder::server
