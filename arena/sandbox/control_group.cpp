#include "arena/sandbox/control_group.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "arena/sandbox/cgroup_files.h"
#include "arena/sandbox/cgroup_v2_delegation.h"

namespace arena::sandbox {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kPrefix = "zarvo-";
std::vector<pid_t> members(const fs::path& dir) {
  std::vector<pid_t> pids;
  std::istringstream list(read_text(dir / "cgroup.procs"));
  for (pid_t pid; list >> pid;) pids.push_back(pid);
  return pids;
}

bool alive(pid_t pid) { return ::kill(pid, 0) == 0 || errno != ESRCH; }

// Groups left behind by arenas that died without cleaning up ("zarvo-PID-N" of a PID that is
// gone); removed once per base directory and process. Only empty groups can be removed.
void remove_stale_groups(const fs::path& base) {
  static std::mutex mutex;
  static std::set<fs::path> done;
  std::lock_guard lock(mutex);
  if (!done.insert(base).second) return;
  std::error_code error;
  for (fs::directory_iterator it(base, error), end; !error && it != end; it.increment(error)) {
    std::string name = it->path().filename().string();
    if (!name.starts_with(kPrefix) || name == kV2ArenaLeaf) continue;
    pid_t owner = 0;
    const char* digits = name.data() + kPrefix.size();
    auto [rest, failure] = std::from_chars(digits, name.data() + name.size(), owner);
    if (failure != std::errc() || *rest != '-' || owner <= 0 || alive(owner)) continue;
    ::rmdir(it->path().c_str());
  }
}

// The kernel's v1 freezer switches its code on when the first group of the machine freezes and
// off when the last one thaws, each switch patching kernel code (about 10 ms here): every freeze
// and thaw of a player would pay it. One empty group, kept frozen and left in place for every
// later arena (it holds no process and costs nothing), keeps the freezer switched on, so a
// player's freeze and thaw take tens of microseconds.
void keep_v1_freezer_on(const fs::path& base) {
  static std::mutex mutex;
  static std::set<fs::path> done;
  std::lock_guard lock(mutex);
  if (!done.insert(base).second) return;
  fs::path anchor = base / "zarvo-freezer-anchor";
  if (::mkdir(anchor.c_str(), 0755) != 0 && errno != EEXIST) return;
  UniqueFd state = open_control(anchor / "freezer.state", O_WRONLY);
  if (state) [[maybe_unused]]
    auto ignored = ::write(state.get(), "FROZEN", 6);
}

std::string unique_name() {
  static std::atomic<unsigned> counter{0};
  return std::string(kPrefix) + std::to_string(::getpid()) + "-" + std::to_string(++counter);
}

}  // namespace

ControlGroup::ControlGroup(const CgroupLayout& layout, const Limits& limits)
    : version_(layout.version), name_(unique_name()) {
  if (version_ == CgroupVersion::kNone || !layout.any()) {
    throw SandboxError("no control groups can be made here");
  }
  try {
    if (version_ == CgroupVersion::kV2) delegate_v2_controllers(layout);
    for (const fs::path* base : {&layout.memory, &layout.pids, &layout.cpu}) {
      if (!base->empty()) make(*base);
    }
    const std::string memory = std::to_string(limits.memory_mb * 1024 * 1024);
    const std::string processes = std::to_string(limits.processes);
    if (!layout.memory.empty()) {
      fs::path dir = layout.memory / name_;
      if (version_ == CgroupVersion::kV1) {
        if (limits.memory_mb > 0) {
          write_control(dir / "memory.limit_in_bytes", memory);
          // With swap, the limit must hold for memory and swap together.
          if (fs::exists(dir / "memory.memsw.limit_in_bytes")) {
            write_control(dir / "memory.memsw.limit_in_bytes", memory);
          }
        }
        oom_ = open_control(dir / "memory.oom_control", O_RDONLY);
        peak_ = open_control(dir / "memory.max_usage_in_bytes", O_RDONLY);
      } else {
        if (limits.memory_mb > 0) {
          write_control(dir / "memory.max", memory);
          if (fs::exists(dir / "memory.swap.max")) write_control(dir / "memory.swap.max", "0");
        }
        oom_ = open_control(dir / "memory.events", O_RDONLY);
        if (fs::exists(dir / "memory.peak")) peak_ = open_control(dir / "memory.peak", O_RDONLY);
      }
      memory_limited_ = limits.memory_mb > 0;
    }
    if (!layout.pids.empty() && limits.processes > 0) {
      write_control(layout.pids / name_ / "pids.max", processes);
      processes_limited_ = true;
    }
    if (!layout.cpu.empty()) {
      fs::path dir = layout.cpu / name_;
      cpu_ = open_control(dir / (version_ == CgroupVersion::kV1 ? "cpuacct.usage" : "cpu.stat"),
                          O_RDONLY);
    }
    if (version_ == CgroupVersion::kV2)
      kill_ = open_control(groups_.front().dir / "cgroup.kill", O_WRONLY);
    if (!layout.freezer.empty()) {
      make(layout.freezer);
      fs::path dir = layout.freezer / name_;
      bool v1 = version_ == CgroupVersion::kV1;
      if (v1) keep_v1_freezer_on(layout.freezer);
      freeze_ = open_control(dir / (v1 ? "freezer.state" : "cgroup.freeze"), O_WRONLY);
      freeze_state_ = open_control(dir / (v1 ? "freezer.state" : "cgroup.events"), O_RDONLY);
      if (!freeze_state_) freeze_.reset();
    }
  } catch (...) {
    remove();
    throw;
  }
}

void ControlGroup::make(const fs::path& base) {
  fs::path dir = base / name_;
  for (const Group& group : groups_) {
    if (group.dir == dir) return;  // v2: one group for every controller
  }
  remove_stale_groups(base);
  if (::mkdir(dir.c_str(), 0755) != 0) {
    throw SandboxError("cannot make the control group " + dir.string() + ": " + errno_text());
  }
  groups_.push_back({dir, {}});
  groups_.back().procs = open_control(dir / "cgroup.procs", O_WRONLY);
  if (!groups_.back().procs) {
    throw SandboxError("cannot open " + (dir / "cgroup.procs").string() + ": " + errno_text());
  }
}

ControlGroup::~ControlGroup() {
  kill_all();
  remove();
}

std::vector<int> ControlGroup::join_fds() const {
  std::vector<int> fds;
  for (const Group& group : groups_) fds.push_back(group.procs.get());
  return fds;
}

std::optional<Milliseconds> ControlGroup::cpu_time() const {
  if (final_cpu_) return final_cpu_;
  if (!cpu_) return std::nullopt;
  std::string text = read_control(cpu_.get());
  if (version_ == CgroupVersion::kV1) {
    long long nanoseconds = 0;
    std::from_chars(text.data(), text.data() + text.size(), nanoseconds);
    return std::chrono::duration_cast<Milliseconds>(std::chrono::nanoseconds(nanoseconds));
  }
  auto microseconds = keyed_value(text, "usage_usec").value_or(0);
  return std::chrono::duration_cast<Milliseconds>(std::chrono::microseconds(microseconds));
}

bool ControlGroup::memory_killed() const {
  if (final_memory_killed_) return *final_memory_killed_;
  return oom_ && keyed_value(read_control(oom_.get()), "oom_kill").value_or(0) > 0;
}

std::optional<long long> ControlGroup::peak_memory_kib() const {
  if (groups_.empty()) return final_peak_kib_;
  if (!peak_) return std::nullopt;
  std::string text = read_control(peak_.get());
  long long bytes = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), bytes);
  if (error != std::errc() || end == text.data()) return std::nullopt;
  return bytes / 1024;
}

bool ControlGroup::freeze() {
  if (!freeze_) return false;
  const bool v1 = version_ == CgroupVersion::kV1;
  std::string_view command = v1 ? "FROZEN" : "1";
  if (::write(freeze_.get(), command.data(), command.size()) < 0) return false;
  frozen_ = true;
  // A v1 group goes through FREEZING; a v2 group says "frozen 1" in cgroup.events. Bounded:
  // a task stuck in the kernel keeps a group from freezing.
  // Read often: what the wait costs is charged to nobody, but it delays the opponent's line.
  const TimePoint give_up = Clock::now() + std::chrono::seconds(2);
  // A task blocked in a read freezes within microseconds: the first looks only yield the CPU,
  // since a sleep lasts at least the timer slack (50 us).
  auto wait = std::chrono::microseconds(10);
  for (int look = 0;; ++look) {
    std::string state = read_control(freeze_state_.get());
    if (v1 ? state.starts_with("FROZEN") : keyed_value(state, "frozen").value_or(0) == 1) {
      return true;
    }
    if (Clock::now() >= give_up) return false;
    if (look < 100) {
      std::this_thread::yield();
      continue;
    }
    std::this_thread::sleep_for(wait);
    wait = std::min<std::chrono::microseconds>(wait * 2, std::chrono::microseconds(200));
  }
}

void ControlGroup::thaw() {
  if (!freeze_ || !frozen_) return;
  std::string_view command = version_ == CgroupVersion::kV1 ? "THAWED" : "0";
  [[maybe_unused]] auto ignored = ::write(freeze_.get(), command.data(), command.size());
  frozen_ = false;
}

void ControlGroup::kill_all() {
  if (groups_.empty()) return;
  const fs::path& dir = groups_.front().dir;
  if (kill_) {
    [[maybe_unused]] auto ignored = ::write(kill_.get(), "1", 1);
  }
  if (frozen_) {
    // Killed while frozen, they die as they thaw, without running another instruction.
    for (const Group& group : groups_) {
      for (pid_t pid : members(group.dir)) ::kill(pid, SIGKILL);
    }
    thaw();
  }
  // Bounded: a process that forks faster than it is killed is stopped by the process limit.
  auto wait = std::chrono::microseconds(200);
  for (int round = 0; round < 200; ++round) {
    std::vector<pid_t> left = members(dir);
    if (left.empty()) return;
    for (pid_t pid : left) ::kill(pid, SIGKILL);
    std::this_thread::sleep_for(wait);
    wait = std::min<std::chrono::microseconds>(wait * 2, std::chrono::milliseconds(20));
  }
}

void ControlGroup::remove() {
  if (groups_.empty()) return;
  // The counters go with the groups: what they last said is kept.
  final_cpu_ = cpu_time();
  final_memory_killed_ = memory_killed();
  final_peak_kib_ = peak_memory_kib();
  for (auto group = groups_.rbegin(); group != groups_.rend(); ++group) {
    group->procs.reset();
    // A group is busy until its last process has fully left it.
    for (int attempt = 0; attempt < 100; ++attempt) {
      if (::rmdir(group->dir.c_str()) == 0 || errno == ENOENT) break;
      if (errno != EBUSY) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  groups_.clear();
}

std::vector<fs::path> ControlGroup::directories() const {
  std::vector<fs::path> dirs;
  for (const Group& group : groups_) dirs.push_back(group.dir);
  return dirs;
}

}  // namespace arena::sandbox
