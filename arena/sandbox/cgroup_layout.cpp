#include "arena/sandbox/cgroup_layout.h"

#include <unistd.h>

#include <optional>
#include <sstream>

#include "arena/sandbox/cgroup_files.h"

namespace arena::sandbox {
namespace fs = std::filesystem;

namespace {

std::vector<std::string> split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  std::size_t begin = 0;
  for (;;) {
    std::size_t end = text.find(separator, begin);
    parts.emplace_back(text.substr(begin, end - begin));
    if (end == std::string_view::npos) return parts;
    begin = end + 1;
  }
}

bool contains(const std::vector<std::string>& words, std::string_view word) {
  for (const auto& w : words) {
    if (w == word) return true;
  }
  return false;
}

// mountinfo writes blanks, tabs, newlines and backslashes in paths as octal escapes.
std::string unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size()) {
      std::string_view digits = text.substr(i + 1, 3);
      if (digits.find_first_not_of("01234567") == std::string_view::npos) {
        out +=
            static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 + (digits[2] - '0'));
        i += 3;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

struct Mount {
  std::string root;                  // the part of the hierarchy the mount shows
  std::string point;                 // where it is mounted
  std::string type;                  // "cgroup" or "cgroup2"
  std::vector<std::string> options;  // super options: "rw", "memory", ...
};

std::vector<Mount> cgroup_mounts(std::string_view mountinfo) {
  std::vector<Mount> mounts;
  std::istringstream lines{std::string(mountinfo)};
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::vector<std::string> fields;
    for (std::string word; words >> word;) fields.push_back(word);
    std::size_t dash = 0;
    while (dash < fields.size() && fields[dash] != "-") ++dash;
    if (dash < 6 || dash + 2 >= fields.size()) continue;
    const std::string& type = fields[dash + 1];
    if (type != "cgroup" && type != "cgroup2") continue;
    Mount mount;
    mount.root = unescape(fields[3]);
    mount.point = unescape(fields[4]);
    mount.type = type;
    if (dash + 3 < fields.size()) mount.options = split(fields[dash + 3], ',');
    mounts.push_back(std::move(mount));
  }
  return mounts;
}

struct Membership {
  std::vector<std::string> controllers;  // empty for v2 ("0::/path")
  std::string path;
  bool v2 = false;
};

std::vector<Membership> memberships(std::string_view self_cgroup) {
  std::vector<Membership> groups;
  std::istringstream lines{std::string(self_cgroup)};
  for (std::string line; std::getline(lines, line);) {
    auto first = line.find(':');
    auto second = first == std::string::npos ? first : line.find(':', first + 1);
    if (second == std::string::npos) continue;
    Membership group;
    std::string list = line.substr(first + 1, second - first - 1);
    group.v2 = line.substr(0, first) == "0" && list.empty();
    if (!list.empty()) group.controllers = split(list, ',');
    group.path = line.substr(second + 1);
    groups.push_back(std::move(group));
  }
  return groups;
}

// The directory of `own_path` in a mount showing `mount.root` of its hierarchy.
std::optional<fs::path> directory_in(const Mount& mount, const std::string& own_path) {
  fs::path root = mount.root, own = own_path;
  auto relative = own.lexically_relative(root);
  if (relative.empty() || relative.begin()->string() == "..") return std::nullopt;
  fs::path dir = fs::path(mount.point) / relative;
  return dir.lexically_normal();
}

fs::path without_trailing_slash(fs::path dir) {
  if (dir.has_relative_path() && !dir.has_filename()) dir = dir.parent_path();
  return dir;
}

fs::path v1_directory(const std::vector<Mount>& mounts, const std::vector<Membership>& groups,
                      std::string_view controller) {
  for (const Mount& mount : mounts) {
    if (mount.type != "cgroup" || !contains(mount.options, controller)) continue;
    for (const Membership& group : groups) {
      if (!contains(group.controllers, controller)) continue;
      if (auto dir = directory_in(mount, group.path)) return without_trailing_slash(*dir);
    }
  }
  return {};
}

bool writable(const fs::path& dir) { return ::access(dir.c_str(), W_OK) == 0; }

}  // namespace

std::string version_name(CgroupVersion version) {
  switch (version) {
    case CgroupVersion::kNone: return "none";
    case CgroupVersion::kV1: return "v1";
    case CgroupVersion::kV2: return "v2";
  }
  return "none";
}

CgroupLayout parse_cgroup_layout(std::string_view mountinfo, std::string_view self_cgroup) {
  CgroupLayout layout;
  std::vector<Mount> mounts = cgroup_mounts(mountinfo);
  std::vector<Membership> groups = memberships(self_cgroup);

  layout.memory = v1_directory(mounts, groups, "memory");
  layout.pids = v1_directory(mounts, groups, "pids");
  if (!layout.memory.empty() || !layout.pids.empty()) {
    layout.version = CgroupVersion::kV1;
    layout.cpu = v1_directory(mounts, groups, "cpuacct");
    layout.freezer = v1_directory(mounts, groups, "freezer");
    if (layout.memory.empty()) layout.problems.push_back("no cgroup v1 memory hierarchy");
    if (layout.pids.empty()) layout.problems.push_back("no cgroup v1 pids hierarchy");
    if (layout.cpu.empty()) layout.problems.push_back("no cgroup v1 cpuacct hierarchy");
    if (layout.freezer.empty()) layout.problems.push_back("no cgroup v1 freezer hierarchy");
    return layout;
  }
  for (const Mount& mount : mounts) {
    if (mount.type != "cgroup2") continue;
    for (const Membership& group : groups) {
      if (!group.v2) continue;
      auto dir = directory_in(mount, group.path);
      if (!dir) continue;
      fs::path base = without_trailing_slash(*dir);
      // An arena started by another arena (a tournament's games) finds itself in the leaf the
      // first one made; the players' groups go beside it.
      if (base.filename() == kV2ArenaLeaf) base = base.parent_path();
      layout.version = CgroupVersion::kV2;
      layout.v2_mount = without_trailing_slash(mount.point);
      layout.memory = layout.pids = layout.cpu = layout.freezer = base;
      return layout;
    }
  }
  layout.problems.push_back("no cgroup hierarchy this process belongs to is mounted");
  return layout;
}

CgroupLayout find_cgroup_layout() {
  CgroupLayout layout =
      parse_cgroup_layout(read_text("/proc/self/mountinfo"), read_text("/proc/self/cgroup"));
  auto keep_if_writable = [&](fs::path& dir, const char* what) {
    if (!dir.empty() && !writable(dir)) {
      layout.problems.push_back(std::string(what) + ": " + dir.string() +
                                " may not be written by this user");
      dir.clear();
    }
  };
  if (layout.version == CgroupVersion::kV2) {
    std::istringstream list(read_text(layout.memory / "cgroup.controllers"));
    std::vector<std::string> offered;
    for (std::string word; list >> word;) offered.push_back(word);
    auto keep_if_offered = [&](fs::path& dir, const char* controller) {
      if (contains(offered, controller)) return;
      layout.problems.push_back("cgroup v2: the group " + dir.string() + " offers no " +
                                controller + " controller");
      dir.clear();
    };
    keep_if_offered(layout.memory, "memory");
    keep_if_offered(layout.pids, "pids");
  }
  keep_if_writable(layout.memory, "memory");
  keep_if_writable(layout.pids, "pids");
  keep_if_writable(layout.cpu, "cpu accounting");
  keep_if_writable(layout.freezer, "freezer");
  if (!layout.any()) layout.version = CgroupVersion::kNone;
  return layout;
}

}  // namespace arena::sandbox
