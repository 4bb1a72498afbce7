#include "arena/cli/check_sandbox_command.h"

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <system_error>
#include <vector>

#include "arena/cli/check_sandbox_hardening.h"
#include "arena/cli/command_line.h"
#include "arena/match/match.h"
#include "arena/process/child_process.h"
#include "arena/process/line_reader.h"
#include "arena/sandbox/bwrap_command.h"
#include "arena/sandbox/host_support.h"
#include "arena/sandbox/user_leases.h"
#include "arena/system/scratch_dir.h"
#include "arena/system/unique_fd.h"

namespace arena::cli {
using namespace arena::sandbox;
namespace fs = std::filesystem;

namespace {

constexpr auto kPatience = std::chrono::seconds(10);

const char* const kUsage = R"(usage: zarvo-arena check-sandbox

Reports what this machine offers for sandboxed players: bubblewrap and its version, user
namespaces, the users players run as, the control groups the arena may make and which limits
hold, the system-call filter, the default memory limit and the out-of-memory scores, and
whether a sandbox starts (bwrap ... /bin/true, exactly as a player would start).
Exit status: 0 players can be sandboxed here, 1 they cannot (play with --no-sandbox).
)";

std::string read_limited(const fs::path& file, std::size_t limit = 2000) {
  std::ifstream in(file, std::ios::binary);
  std::string text(limit, '\0');
  in.read(text.data(), static_cast<std::streamsize>(limit));
  text.resize(static_cast<std::size_t>(in.gcount()));
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

// The first line `bwrap --version` prints, or why there is none.
std::string bwrap_version(const fs::path& bwrap) {
  try {
    SpawnRequest request;
    request.program = bwrap;
    request.args = {bwrap.string(), "--version"};
    request.pipe_output = true;
    ChildProcess child(request);
    LineReader reader(child.take_output(), 200);
    std::string line;
    ReadStatus status = reader.read_line(line, Clock::now() + kPatience);
    child.wait_exit(Clock::now() + kPatience);
    child.kill_group();
    child.reap();
    return status == ReadStatus::kLine ? line : "(no version printed)";
  } catch (const std::exception& error) {
    return std::string("(cannot run it: ") + error.what() + ")";
  }
}

struct TrialStart {
  bool ran = false;
  std::string detail;
};

// Starts /bin/true in a sandbox exactly as a player would be started (same policy, same user,
// same control groups) and sees it end with status 0.
TrialStart trial_start(const HostSupport& host) {
  TrialStart trial;
  std::optional<ScratchDir> scratch;
  try {
    scratch.emplace("zarvo-check.");
  } catch (const std::system_error&) {
    return {false, "cannot make a scratch directory"};
  }
  try {
    fs::path work = scratch->path() / "player";
    fs::create_directory(work);
    fs::permissions(scratch->path(), fs::perms::owner_all | fs::perms::group_read |
                                         fs::perms::group_exec | fs::perms::others_read |
                                         fs::perms::others_exec);
    fs::permissions(work, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    Policy policy;
    policy.workdir = work;
    policy.limits.processes = kDefaultProcessLimit;
    policy.limits.memory_mb = 256;
    std::vector<UserLease> user;
    if (host.root) {
      user = lease_users(UserRange{}, 1, Clock::now() + kPatience);
      policy.identity = user.front().identity();
    }
    fs::path errors_file = scratch->path() / "errors";
    SpawnRequest request;
    request.program = fs::exists("/usr/bin/true") ? "/usr/bin/true" : "/bin/true";
    request.args = {"true"};
    request.error_file = errors_file;
    request.sandbox = policy;
    auto started = Clock::now();
    ChildProcess child(request);
    auto status = child.wait_exit(started + kPatience);
    auto took = std::chrono::duration_cast<Milliseconds>(Clock::now() - started);
    child.kill_group();
    ExitStatus end = child.reap();
    if (!status) return {false, "bwrap did not end within 10 s"};
    if (!end.success()) {
      return {false, "bwrap ended with " + end.describe() + ": " + read_limited(errors_file)};
    }
    trial.ran = true;
    trial.detail = "bwrap ... /bin/true ran in " + std::to_string(took.count()) + " ms";
    if (!host.cgroups.cpu.empty()) {
      trial.detail +=
          ", its control groups counted " + std::to_string(child.cpu_time().count()) + " ms of CPU";
    }
  } catch (const std::exception& error) {
    return {false, error.what()};
  }
  return trial;
}

void print_cgroups(const CgroupLayout& cgroups) {
  std::cout << "control groups:   " << version_name(cgroups.version) << "\n";
  auto dir = [](const fs::path& path) { return path.empty() ? "(none)" : path.string(); };
  if (cgroups.version != CgroupVersion::kNone) {
    std::cout << "  memory below    " << dir(cgroups.memory) << "\n"
              << "  pids below      " << dir(cgroups.pids) << "\n"
              << "  cpu below       " << dir(cgroups.cpu) << "\n"
              << "  freezer below   " << dir(cgroups.freezer) << "\n";
  }
  for (const std::string& problem : cgroups.problems) std::cout << "  note: " << problem << "\n";
}

// What a sandboxed player sees and may use here, with each limit's default.
void print_player_view(const HostSupport& host) {
  const MatchConfig defaults;
  const Policy policy;
  std::string shown;
  for (const fs::path& dir : system_directories()) shown += dir.string() + ", ";
  std::ostringstream time;
  time << std::chrono::duration<double>(defaults.time_limit).count();
  std::cout << "a sandboxed player gets:\n"
            << "  read-only:      " << shown
            << "the /bin, /lib, ... links, its working directory's files, its program's and "
               "script's directories, every --ro-dir\n"
            << "  writable:       /tmp, /dev/shm, " << kSandboxHome
            << " (HOME) and new files in its working directory: " << policy.scratch_mb
            << " MiB each, gone after the game\n"
            << "  hidden:         everything else: the game's files, the referee, the other "
               "entrants' directories (also inside the read-only ones)\n"
            << "  pipes, sockets: none; a player whose shown directories hold a named pipe or "
               "a socket is refused before the game\n"
            << "  network:        none (a loopback of its own)\n"
            << "  environment:    PATH=" << kSandboxPath << ", HOME, LANG=C.UTF-8, PWD and --env\n"
            << "  runs as:        "
            << (host.root
                    ? "a user of its own (above); a directory that user cannot reach is shown "
                      "through a private mount (idmapped where the directory itself is "
                      "private)"
                    : "the arena's user")
            << "\n"
            << "  time:           " << time.str()
            << " s of thinking time per game (--time-limit; --clock cpu counts CPU time)\n"
            << "  memory:         "
            << (host.cgroups.memory.empty()
                    ? "none: the default of " + std::to_string(kDefaultMemoryLimitMb) +
                          " MB needs a memory control group; --memory-limit MB gives an "
                          "address-space limit instead"
                    : std::to_string(kDefaultMemoryLimitMb) +
                          " MB of resident memory per process tree (--memory-limit MB; 0: none)")
            << "\n"
            << "  processes:      " << defaults.process_limit << " (--process-limit)\n"
            << "  file size:      " << defaults.file_limit_mb << " MB (--file-limit)\n"
            << "  while the opponent thinks: "
            << (host.cgroups.freezer.empty()
                    ? std::string("stopped with SIGSTOP and continued with SIGCONT (no freezer "
                                  "group here), which a player can notice")
                    : "frozen in a freezer group (cgroup " + version_name(host.cgroups.version) +
                          ")")
            << "; --ponder lets it run\n";
}

}  // namespace

int run_check_sandbox_command(std::span<const std::string> args) {
  if (asks_for_help(args)) {
    std::cout << kUsage;
    return 0;
  }
  try {
    CommandLine().parse(args);  // it takes no option and no argument
  } catch (const UsageError& error) {
    return usage_error("check-sandbox", error.what());
  }
  HostSupport host = look_at_host();
  std::cout << "bubblewrap:       "
            << (host.bwrap ? host.bwrap->string() + " (" + bwrap_version(*host.bwrap) + ")"
                           : std::string("not found (Debian package bubblewrap)"))
            << "\n";
  std::cout << "user namespaces:  "
            << (host.max_user_namespaces < 0
                    ? std::string("unknown")
                    : "at most " + std::to_string(host.max_user_namespaces) + " per user")
            << "\n";
  if (host.root) {
    const UserRange range;
    std::cout << "players run as:   users of " << range.text()
              << " (--user-range), one of its own for each seat of each game while its "
                 "sandbox lives (the arena runs as root)\n";
    try {
      RangeUse use = range_use(range);
      std::cout << "  free            " << use.unlisted << " of its " << range.size()
                << " users are in neither /etc/passwd nor /etc/group, " << use.free
                << " of those held by no sandbox now\n";
    } catch (const SandboxError& error) {
      std::cout << "  note: its users cannot be leased: " << error.what() << "\n";
    }
    std::cout << "builds run as:    uid/gid " << build_identity().uid << "\n";
  } else {
    std::cout << "players run as:   the arena's own user, in a user namespace\n";
  }
  print_cgroups(host.cgroups);
  std::cout << "limits:\n";
  for (const LimitNote& note : limit_notes(host.cgroups)) std::cout << "  " << note.line << "\n";
  print_player_view(host);

  std::optional<std::string> problem = host.problem();
  if (!print_hardening(std::cout, host) && !problem) {
    problem = "the system-call filter cannot be built";
  }
  if (!problem) {
    TrialStart trial = trial_start(host);
    std::cout << "sandbox start:    " << (trial.ran ? "ok, " : "FAILED: ") << trial.detail << "\n";
    if (!trial.ran) problem = "a sandbox does not start: " + trial.detail;
  }
  if (problem) {
    std::cout << "no sandbox can be made here: " << *problem
              << "\nplayers can only play with --no-sandbox\n"
              << std::flush;
    return 1;
  }
  std::cout << "players are sandboxed here (turn it off with --no-sandbox)\n" << std::flush;
  return 0;
}

}  // namespace arena::cli
