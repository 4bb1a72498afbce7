#include "arena/sandbox/shown_pipes_and_sockets.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "arena/sandbox/bwrap_command.h"

namespace arena::sandbox {
namespace fs = std::filesystem;

namespace {

class Walk {
 public:
  explicit Walk(const Policy& policy) {
    for (const fs::path& dir : policy.covered) covered_.push_back(normal_absolute(dir));
    for (const fs::path& path : policy.hidden) hidden_.push_back(normal_absolute(path));
  }

  // `dir` and everything below it; with `workdir`, without the entries the sandbox leaves out
  // of a working directory. A shown directory may be shared (/tmp): what vanishes while it is
  // looked through is passed over, and so is what the arena may not read, which a player of the
  // same user may not read either (a root arena reads everything).
  void through(const fs::path& dir, bool workdir) {
    struct Pending {
      fs::path dir;
      int depth;
    };
    std::vector<Pending> pending = {{dir, 0}};
    while (!pending.empty()) {
      Pending at = std::move(pending.back());
      pending.pop_back();
      std::error_code error;
      fs::directory_iterator it(at.dir, fs::directory_options::skip_permission_denied, error);
      for (fs::directory_iterator end; !error && it != end; it.increment(error)) {
        const fs::path& path = it->path();
        if (++seen_ > kMaxShownFiles) {
          throw SandboxError("the directories shown to the player hold more than " +
                             std::to_string(kMaxShownFiles) +
                             " files, too many to look through for named pipes and sockets; "
                             "show smaller ones");
        }
        if ((workdir && at.depth == 0 && left_out_of_workdir(path, hidden_)) || is_covered(path))
          continue;
        std::error_code gone;
        fs::file_status status = it->symlink_status(gone);
        if (gone) continue;
        if (fs::is_fifo(status) || fs::is_socket(status)) {
          throw SandboxError(
              path.string() + " is a " + (fs::is_fifo(status) ? "named pipe" : "socket") +
              " in a directory shown to the player, through which two sandboxes could pass "
              "data; remove it or show the player a directory without it");
        }
        if (!fs::is_directory(status)) continue;
        if (at.depth >= kMaxShownDepth) {
          throw SandboxError(path.string() + " lies more than " + std::to_string(kMaxShownDepth) +
                             " directories deep, too deep to look through for named pipes and "
                             "sockets");
        }
        pending.push_back({path, at.depth + 1});
      }
      // The directory itself gone is as good as empty; any other failure leaves it unknown.
      if (error && error != std::errc::no_such_file_or_directory &&
          error != std::errc::not_a_directory) {
        throw SandboxError("cannot look through " + at.dir.string() +
                           " for named pipes and sockets: " + error.message());
      }
    }
  }

 private:
  bool is_covered(const fs::path& path) const {
    return std::any_of(covered_.begin(), covered_.end(),
                       [&](const fs::path& dir) { return is_within(path, dir); });
  }

  std::vector<fs::path> covered_;
  std::vector<fs::path> hidden_;
  std::size_t seen_ = 0;
};

}  // namespace

void check_no_shown_pipes_and_sockets(const Policy& policy) {
  Walk walk(policy);
  const fs::path workdir = normal_absolute(policy.workdir);
  // A working directory among the system directories is shown whole, as they are.
  const bool in_system = std::any_of(system_directories().begin(), system_directories().end(),
                                     [&](const fs::path& dir) { return is_within(workdir, dir); });
  walk.through(workdir, !policy.workdir_writable && !in_system);
  for (const fs::path& dir : policy.readonly_dirs) walk.through(normal_absolute(dir), false);
}

}  // namespace arena::sandbox
