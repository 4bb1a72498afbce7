#include "arena/sandbox/user_leases.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>
#include <thread>

#include "arena/sandbox/cgroup_files.h"

namespace arena::sandbox {
namespace fs = std::filesystem;

namespace {

constexpr auto kRetryInterval = std::chrono::milliseconds(100);

// The ids the third field of each line of an account file (/etc/passwd, /etc/group) names.
std::set<unsigned long> listed_ids(const char* file) {
  std::set<unsigned long> ids;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    auto first = line.find(':');
    auto second = first == std::string::npos ? first : line.find(':', first + 1);
    if (second == std::string::npos) continue;
    auto third = line.find(':', second + 1);
    std::string_view id(line.data() + second + 1,
                        (third == std::string::npos ? line.size() : third) - second - 1);
    unsigned long value = 0;
    auto [end, error] = std::from_chars(id.data(), id.data() + id.size(), value);
    if (error == std::errc() && end == id.data() + id.size()) ids.insert(value);
  }
  return ids;
}

// The users of `range` that no account of the host uses, as user or as group.
std::vector<uid_t> unlisted_users(const UserRange& range) {
  const std::set<unsigned long> users = listed_ids("/etc/passwd");
  const std::set<unsigned long> groups = listed_ids("/etc/group");
  std::vector<uid_t> unlisted;
  for (unsigned long uid = range.first; uid <= range.last; ++uid) {
    if (!users.contains(uid) && !groups.contains(uid)) unlisted.push_back(static_cast<uid_t>(uid));
  }
  return unlisted;
}

// The directory of the locks: made by this arena's user (root) and writable by it alone, so
// that no player or other user can plant a link there or hold a lock.
UniqueFd open_lock_dir() {
  const fs::path candidates[] = {"/run/zarvo-arena",
                                 fs::temp_directory_path() / "zarvo-arena-users"};
  for (const fs::path& dir : candidates) {
    if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) continue;
    UniqueFd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) {
      throw SandboxError("cannot open the directory of the players' user locks " + dir.string() +
                         ": " + errno_text());
    }
    if (st.st_uid != ::geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
      throw SandboxError(dir.string() +
                         ", the directory of the players' user locks, must belong to the "
                         "arena's user and be writable by it alone");
    }
    return fd;
  }
  throw SandboxError("cannot make a directory for the players' user locks (" +
                     candidates[0].string() + ", " + candidates[1].string() + ")");
}

// The lock of `name` in `dir`, taken without waiting; nothing when another holds it, or, unless
// `create`, when no lock file is there.
std::optional<UniqueFd> take_lock(const UniqueFd& dir, const std::string& name, bool create,
                                  bool wait = false) {
  UniqueFd fd(::openat(dir.get(), name.c_str(),
                       O_RDWR | O_NOFOLLOW | O_CLOEXEC | (create ? O_CREAT : 0), 0600));
  if (!fd) {
    if (!create && errno == ENOENT) return std::nullopt;
    throw SandboxError("cannot open the user lock " + name + ": " + errno_text());
  }
  while (::flock(fd.get(), LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
    if (errno == EWOULDBLOCK) return std::nullopt;
    if (errno != EINTR) throw SandboxError("cannot lock " + name + ": " + errno_text());
  }
  return fd;
}

std::string lock_name(uid_t uid) { return "uid-" + std::to_string(uid); }

}  // namespace

std::optional<std::string> user_range_problem(const UserRange& range) {
  if (range.first == 0 || range.first > range.last || range.last == static_cast<uid_t>(-1)) {
    return "not a range of users FIRST-LAST, 0 < FIRST <= LAST < 4294967295";
  }
  if (range.size() > kMaxUserRange) {
    return "a range of at most " + std::to_string(kMaxUserRange) + " users";
  }
  const uid_t build = build_identity().uid;
  if (range.first <= build && build <= range.last) {
    return "the range holds " + std::to_string(build) +
           ", the user entries are built as, who owns their files";
  }
  return std::nullopt;
}

UserRange parse_user_range(const std::string& text) {
  auto dash = text.find('-');
  auto number = [&](std::string_view part, uid_t& value) {
    auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
    return !part.empty() && error == std::errc() && end == part.data() + part.size();
  };
  UserRange range;
  const std::string_view whole(text);
  if (dash == std::string::npos || !number(whole.substr(0, dash), range.first) ||
      !number(whole.substr(dash + 1), range.last)) {
    throw std::invalid_argument("\"" + text + "\" is not FIRST-LAST (60100-60999)");
  }
  if (auto problem = user_range_problem(range)) {
    throw std::invalid_argument("\"" + text + "\": " + *problem);
  }
  return range;
}

std::vector<UserLease> lease_users(const UserRange& range, std::size_t count, TimePoint deadline) {
  const std::vector<uid_t> users = unlisted_users(range);
  if (users.size() < count) {
    throw SandboxError("the user range " + range.text() + " holds " + std::to_string(users.size()) +
                       (users.size() == 1 ? " user" : " users") +
                       " in neither /etc/passwd nor /etc/group, too few for the " +
                       std::to_string(count) + " players of a game; give a larger one with " +
                       "--user-range");
  }
  UniqueFd dir = open_lock_dir();
  for (;;) {
    std::vector<UserLease> leases;
    {
      // One arena looks for users at a time: two games that each found one user would
      // otherwise both let go and look again in step.
      std::optional<UniqueFd> looking = take_lock(dir, "allocating", true, true);
      for (uid_t uid : users) {
        if (std::optional<UniqueFd> lock = take_lock(dir, lock_name(uid), true)) {
          leases.emplace_back(Identity{uid, static_cast<gid_t>(uid)}, std::move(*lock));
          if (leases.size() == count) return leases;
        }
      }
    }
    if (Clock::now() >= deadline) {
      throw SandboxError("every user of the range " + range.text() +
                         " is taken by other sandboxes of this host (the players of a game need " +
                         std::to_string(count) + "); give a larger range with --user-range");
    }
    std::this_thread::sleep_for(std::min<Clock::duration>(kRetryInterval, deadline - Clock::now()));
  }
}

RangeUse range_use(const UserRange& range) {
  const std::vector<uid_t> users = unlisted_users(range);
  RangeUse use;
  use.unlisted = users.size();
  UniqueFd dir = open_lock_dir();
  for (uid_t uid : users) {
    std::optional<UniqueFd> lock = take_lock(dir, lock_name(uid), false);
    if (lock || ::faccessat(dir.get(), lock_name(uid).c_str(), F_OK, AT_SYMLINK_NOFOLLOW) != 0) {
      ++use.free;
    }
  }
  return use;
}

}  // namespace arena::sandbox
