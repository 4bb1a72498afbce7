#include "arena/process_registry.h"

#include <signal.h>

#include <array>
#include <atomic>
#include <mutex>

namespace arena {
namespace {

// Lock-free slots, because the signal handler reads them.
std::array<std::atomic<pid_t>, 512> groups;

std::atomic<int> stop_signal{0};

extern "C" void on_stop_signal(int sig) {
  stop_signal.store(sig);
  for (auto& slot : groups) {
    pid_t pgid = slot.load();
    if (pgid > 0) ::kill(-pgid, SIGKILL);
  }
  for (int other : {SIGINT, SIGTERM, SIGHUP}) ::signal(other, SIG_DFL);
}

}  // namespace

bool register_group(pid_t pgid) {
  for (auto& slot : groups) {
    pid_t expected = 0;
    if (slot.compare_exchange_strong(expected, pgid)) return true;
  }
  return false;
}

bool is_registered(pid_t pgid) {
  for (const auto& slot : groups) {
    if (slot.load() == pgid) return true;
  }
  return false;
}

void unregister_group(pid_t pgid) {
  for (auto& slot : groups) {
    pid_t expected = pgid;
    if (slot.compare_exchange_strong(expected, 0)) return;
  }
}

int stop_signal_received() { return stop_signal.load(); }

void kill_registered_groups_on_signals() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    // A signal ignored when the arena started (nohup, a background job) stays ignored.
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
      struct sigaction old {};
      ::sigaction(sig, nullptr, &old);
      if (old.sa_handler != SIG_IGN) ::sigaction(sig, &action, nullptr);
    }
  });
}

}  // namespace arena
