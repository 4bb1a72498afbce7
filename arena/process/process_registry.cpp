#include "arena/process/process_registry.h"

#include <signal.h>

#include <array>
#include <atomic>

namespace arena {
namespace {

// Lock-free slots, because a signal handler reads them.
std::array<std::atomic<pid_t>, 512> groups;

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

void kill_registered_groups() {
  for (auto& slot : groups) {
    pid_t pgid = slot.load();
    if (pgid > 0) ::kill(-pgid, SIGKILL);
  }
}

}  // namespace arena
