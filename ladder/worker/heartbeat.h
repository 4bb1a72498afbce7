// The heartbeat of one held lease: a thread of its own that tells the server every
// heartbeat_seconds that the job is still being done, so that the lease does not expire under a
// long build or game. A 409 means the lease is gone (it expired and went to another worker):
// lost() turns true and the job is abandoned. A lost connection is retried until the next beat.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "ladder/worker/stop_request.h"

namespace ladder::worker {

class Heartbeat {
 public:
  Heartbeat(std::string server, std::string token, std::string lease,
            std::chrono::seconds interval);
  Heartbeat(const Heartbeat&) = delete;
  Heartbeat& operator=(const Heartbeat&) = delete;
  ~Heartbeat();  // stops the thread

  bool lost() const { return lost_.load(); }

 private:
  void beat();

  std::string server_, token_, lease_;
  std::chrono::seconds interval_;
  std::atomic<bool> lost_{false};
  StopRequest done_;
  std::thread thread_;
};

}  // namespace ladder::worker
