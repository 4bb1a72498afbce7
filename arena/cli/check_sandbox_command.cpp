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
#include "arena/process/sandbox_trial.h"
#include "arena/sandbox/bwrap_command.h"
#include "arena/sandbox/host_support.h"

namespace arena::cli {
using namespace arena::sandbox;
namespace fs = std::filesystem;

namespace {

const char* const kUsage = R"(usage: zarvo-arena check-sandbox

Reports what this machine offers for sandboxed players: bubblewrap and its version, user
namespaces, the users players run as, the control groups the arena may make and which limits
hold, the system-call filter, the default memory limit and the out-of-memory scores, and
whether a sandbox starts (bwrap ... /bin/true, exactly as a player would start).
Exit status: 0 players can be sandboxed here, 1 they cannot (play with --no-sandbox).
)";

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
