#include "arena/system/tree_wait.h"

#include <sys/syscall.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

#include "arena/system/proc_stat.h"

namespace arena {
namespace {

// A player that forks or spawns threads without end is still read in bounded time.
constexpr std::size_t kMostProcesses = 64;
constexpr std::size_t kMostThreads = 512;

// Calls that sleep for a time or until a signal: asleep, not waiting for anything.
bool is_sleep(long call) {
  switch (call) {
    case SYS_nanosleep:
    case SYS_clock_nanosleep:
    case SYS_rt_sigsuspend:
#ifdef SYS_pause
    case SYS_pause:
#endif
      return true;
    default: return false;
  }
}

bool is_read(long call) { return call == SYS_read || call == SYS_readv || call == SYS_pread64; }

std::string call_name(long call) {
  switch (call) {
    case SYS_read: return "read";
    case SYS_readv: return "readv";
    case SYS_pread64: return "pread64";
    case SYS_write: return "write";
    case SYS_nanosleep: return "nanosleep";
    case SYS_clock_nanosleep: return "clock_nanosleep";
    case SYS_rt_sigsuspend: return "rt_sigsuspend";
    case SYS_rt_sigtimedwait: return "rt_sigtimedwait";
    case SYS_futex: return "futex";
    case SYS_wait4: return "wait4";
    case SYS_waitid: return "waitid";
    case SYS_ppoll: return "ppoll";
    case SYS_pselect6: return "pselect6";
    case SYS_epoll_pwait: return "epoll_pwait";
    case SYS_accept: return "accept";
    case SYS_accept4: return "accept4";
    case SYS_recvfrom: return "recvfrom";
    case SYS_recvmsg: return "recvmsg";
    case SYS_connect: return "connect";
    case SYS_flock: return "flock";
    case SYS_openat: return "openat";
#ifdef SYS_pause
    case SYS_pause: return "pause";
#endif
#ifdef SYS_poll
    case SYS_poll: return "poll";
#endif
#ifdef SYS_select
    case SYS_select: return "select";
#endif
#ifdef SYS_epoll_wait
    case SYS_epoll_wait: return "epoll_wait";
#endif
    default: return "system call " + std::to_string(call);
  }
}

std::string first_line(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

// `root` and its descendants, at most kMostProcesses of them.
std::vector<pid_t> tree_of(pid_t root) {
  std::map<pid_t, std::vector<pid_t>> children;
  for (const ProcessStat& process : all_process_stats()) {
    children[std::atoi(process.fields[1].c_str())].push_back(process.pid);
  }
  std::vector<pid_t> tree = {root};
  for (std::size_t next = 0; next < tree.size() && tree.size() < kMostProcesses; ++next) {
    for (pid_t child : children[tree[next]]) {
      if (tree.size() == kMostProcesses) break;
      tree.push_back(child);
    }
  }
  return tree;
}

// What one thread does, from its syscall file: "running", or the call's number and its
// arguments in hex, or "-1 ..." when blocked outside a system call; nothing when unreadable.
struct ThreadState {
  bool running = false;
  std::optional<long> call;
  std::optional<unsigned long long> first_argument;
};

std::optional<ThreadState> thread_state(const std::filesystem::path& task) {
  const std::string line = first_line(task / "syscall");
  if (line.empty()) return std::nullopt;
  ThreadState state;
  if (line == "running") {
    state.running = true;
    return state;
  }
  std::istringstream fields(line);
  long call = -1;
  std::string argument;
  if (!(fields >> call) || call < 0) return std::nullopt;
  state.call = call;
  if (fields >> argument && argument.starts_with("0x")) {
    unsigned long long value = 0;
    auto [end, error] =
        std::from_chars(argument.data() + 2, argument.data() + argument.size(), value, 16);
    if (error == std::errc()) state.first_argument = value;
  }
  return state;
}

}  // namespace

TreeWait tree_wait(pid_t root) {
  bool running = false, reading = false;
  std::optional<long> sleep;
  std::optional<std::string> wait;
  std::size_t threads = 0;
  for (pid_t pid : tree_of(root)) {
    const std::filesystem::path dir = "/proc/" + std::to_string(pid);
    if (first_line(dir / "comm") == "bwrap") continue;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator(dir / "task", error)) {
      if (++threads > kMostThreads) break;
      std::optional<ThreadState> state = thread_state(task.path());
      if (!state) continue;
      if (state->running) running = true;
      if (!state->call) continue;
      if (is_read(*state->call) && state->first_argument == 0) {
        reading = true;
      } else if (is_sleep(*state->call)) {
        sleep = sleep.value_or(*state->call);
      } else if (!wait) {
        wait = call_name(*state->call);
        if (is_read(*state->call) && state->first_argument)
          *wait += " of descriptor " + std::to_string(*state->first_argument);
      }
    }
  }
  if (running) return {TreeActivity::kRunning, {}};
  if (reading) return {TreeActivity::kReadingInput, {}};
  if (sleep) return {TreeActivity::kSleeping, call_name(*sleep)};
  if (wait) return {TreeActivity::kWaiting, *wait};
  return {};
}

}  // namespace arena
