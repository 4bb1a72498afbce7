// The control groups of one sandboxed player: made with its limits before the player starts,
// joined by the player's first process before exec (through the open cgroup.procs files), read
// for the CPU time of its whole process tree and for a kill by the memory limit, and at the end
// emptied and removed. One group per hierarchy the layout offers (v1: memory, pids, cpuacct;
// v2: one group).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "arena/sandbox/cgroup_layout.h"
#include "arena/sandbox/sandbox_policy.h"
#include "arena/system/deadline.h"
#include "arena/system/unique_fd.h"

namespace arena::sandbox {

class ControlGroup {
 public:
  // Throws SandboxError naming the directory or file that could not be made or written.
  ControlGroup(const CgroupLayout& layout, const Limits& limits);
  ControlGroup(const ControlGroup&) = delete;
  ControlGroup& operator=(const ControlGroup&) = delete;
  // Kills what is left in the groups and removes them.
  ~ControlGroup();
  // Kills what is left and removes the groups now; the CPU time and the memory kill stay
  // readable.
  void close() {
    kill_all();
    remove();
  }

  // The cgroup.procs files to write "0" into, so that the writer joins every group.
  std::vector<int> join_fds() const;

  bool limits_memory() const { return memory_limited_; }
  bool limits_processes() const { return processes_limited_; }
  bool counts_cpu() const { return static_cast<bool>(cpu_); }

  // CPU time of every process that ever ran in the group; nothing without CPU accounting.
  std::optional<Milliseconds> cpu_time() const;
  // Whether the kernel killed a process of the group for going over the memory limit.
  bool memory_killed() const;
  // The peak memory of the group in KiB, where the kernel keeps it (v1 memory.max_usage_in_bytes,
  // v2 memory.peak); nothing otherwise.
  std::optional<long long> peak_memory_kib() const;

  // Whether the group can freeze the player's whole tree (v1: a freezer group beside it; v2: its
  // own cgroup.freeze).
  bool can_freeze() const { return static_cast<bool>(freeze_); }
  // Freezes every process of the group and waits (bounded) until the kernel reports the group
  // frozen; false when it did not.
  bool freeze();
  void thaw();

  // Kills every process in the groups (thawing them, since a frozen process cannot die) and
  // waits (bounded) until none is left.
  void kill_all();

  // The groups' directories, for messages and tests.
  std::vector<std::filesystem::path> directories() const;

 private:
  struct Group {
    std::filesystem::path dir;
    UniqueFd procs;
  };
  void make(const std::filesystem::path& base);
  void remove();

  CgroupVersion version_;
  std::string name_;
  std::vector<Group> groups_;
  UniqueFd cpu_;           // v1 cpuacct.usage, v2 cpu.stat
  UniqueFd oom_;           // v1 memory.oom_control, v2 memory.events
  UniqueFd kill_;          // v2 cgroup.kill
  UniqueFd peak_;          // v1 memory.max_usage_in_bytes, v2 memory.peak
  UniqueFd freeze_;        // v1 freezer.state, v2 cgroup.freeze
  UniqueFd freeze_state_;  // v1 freezer.state, v2 cgroup.events
  bool frozen_ = false;
  std::optional<Milliseconds> final_cpu_;
  std::optional<bool> final_memory_killed_;
  std::optional<long long> final_peak_kib_;
  bool memory_limited_ = false;
  bool processes_limited_ = false;
};

}  // namespace arena::sandbox
