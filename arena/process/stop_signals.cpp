#include "arena/process/stop_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <system_error>

#include "arena/process/process_registry.h"

namespace arena {
namespace {

std::atomic<int> received{0};
std::atomic<bool> kill_groups{false};
int wake_read = -1;
std::atomic<int> wake_write{-1};

extern "C" void on_stop_signal(int sig) {
  int none = 0;
  received.compare_exchange_strong(none, sig);
  int fd = wake_write.load();
  if (fd >= 0) {
    char byte = 0;
    [[maybe_unused]] auto ignored = ::write(fd, &byte, 1);
  }
  if (kill_groups.load()) {
    kill_registered_groups();
    for (int other : kStopSignals) ::signal(other, SIG_DFL);
  }
}

}  // namespace

void catch_stop_signals(OnStopSignal action) {
  static std::once_flag once;
  std::call_once(once, [action] {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
      throw std::system_error(errno, std::generic_category(), "pipe");
    }
    wake_read = fds[0];
    wake_write.store(fds[1]);
    kill_groups.store(action == OnStopSignal::kKillGroups);
    struct sigaction handler {};
    handler.sa_handler = on_stop_signal;
    sigemptyset(&handler.sa_mask);
    for (int sig : kStopSignals) {
      struct sigaction old {};
      ::sigaction(sig, nullptr, &old);
      if (old.sa_handler != SIG_IGN) ::sigaction(sig, &handler, nullptr);
    }
  });
}

int stop_signal_received() { return received.load(); }

int stop_signal_fd() { return wake_read; }

void reset_stop_signals_in_child() {
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  for (int sig : kStopSignals) {
    struct sigaction current {};
    ::sigaction(sig, nullptr, &current);
    if (current.sa_handler != SIG_IGN) ::sigaction(sig, &default_action, nullptr);
  }
}

}  // namespace arena
