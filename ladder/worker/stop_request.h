// The worker's wish to stop, shared by its slots: set once SIGTERM or SIGINT arrives (or a slot
// finds the worker cannot go on), and waited on by every pause, so that a worker told to stop
// does not sleep out a back-off first.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace ladder::worker {

class StopRequest {
 public:
  void request() {
    {
      std::lock_guard lock(mutex_);
      requested_ = true;
    }
    woken_.notify_all();
  }
  bool requested() const { return requested_.load(); }
  // Waits `pause` or until a stop is requested; true when it is.
  bool wait_for(std::chrono::milliseconds pause) {
    std::unique_lock lock(mutex_);
    return woken_.wait_for(lock, pause, [this] { return requested_.load(); });
  }

 private:
  std::atomic<bool> requested_{false};
  std::mutex mutex_;
  std::condition_variable woken_;
};

}  // namespace ladder::worker
