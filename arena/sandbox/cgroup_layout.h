// Where this process may make control groups for its players: the cgroup v1 hierarchies
// (memory, pids, cpuacct) below its own groups, or a delegated cgroup v2 subtree of its own
// group. Found from /proc/self/mountinfo and /proc/self/cgroup; nothing is changed here.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace arena::sandbox {

enum class CgroupVersion { kNone, kV1, kV2 };

struct CgroupLayout {
  CgroupVersion version = CgroupVersion::kNone;
  // The directories below which a player's groups are made; empty where the controller cannot
  // be used. Under v2 all three are the same directory.
  std::filesystem::path memory;
  std::filesystem::path pids;
  std::filesystem::path cpu;  // v1: cpuacct; v2: any group (cpu.stat is always there)
  // v1: the freezer hierarchy; v2: any group (cgroup.freeze is always there).
  std::filesystem::path freezer;
  // v2: the mount point of the hierarchy, whose root group holds processes freely.
  std::filesystem::path v2_mount;
  // Why a controller is missing, one line each.
  std::vector<std::string> problems;

  bool any() const { return !memory.empty() || !pids.empty() || !cpu.empty(); }
};

// Candidate directories from the text of /proc/self/mountinfo and /proc/self/cgroup, without
// looking at the file system (no check that they exist or may be written).
CgroupLayout parse_cgroup_layout(std::string_view mountinfo, std::string_view self_cgroup);

// The layout of this process, keeping only directories it may write and, under v2, controllers
// its own group offers.
CgroupLayout find_cgroup_layout();

// "v1", "v2" or "none".
std::string version_name(CgroupVersion version);

}  // namespace arena::sandbox
