#include "arena/cli/build_command.h"

#include <iostream>
#include <vector>

#include "arena/cli/command_line.h"
#include "arena/entry/entry_build.h"
#include "arena/match/disqualification_notes.h"
#include "arena/match/match_options.h"
#include "arena/match/option_values.h"
#include "arena/process/orphan_reaper.h"
#include "arena/process/pipe_writer.h"
#include "arena/process/program_path.h"
#include "arena/process/stop_signals.h"

namespace arena::cli {
namespace fs = std::filesystem;

namespace {

const char* const kUsage = R"(usage: zarvo-arena build [options] ENTRY...

Builds each ENTRY, a directory holding one entrant's sources, in a sandbox of the kind players
get: no network, the system directories read-only, a copy of the entry writable at the entry's
path (as root, on a tmpfs of its own, built as the build user, uid 60003), nothing else of the
machine visible. A successful build's new and changed files are copied back: only regular files,
directories and links inside the entry, no setuid or setgid bit, nothing writable by group or
others, owned by the arena's user; a failed build leaves the entry as it was. An ENTRY that is a
symbolic link, or resolves outside the directory it is given in, is refused.
The first recipe that fits is used: the entry's build.sh (run with bash -e, so a failing command
fails the build; it leaves the program to play as ./bot); else every *.cpp and *.cc (C++),
every *.c (C), every *.java (Java, played through a copy of java-launcher named after the class
with main), the main *.py (Python: main.py, bot.py, the only one, or the only one with a
__main__ block; byte-compiled as a check), main.js or the main file of a package.json
(JavaScript: checked with node --check; a package.json with dependencies is refused), a
Cargo.toml (Rust: cargo build --release --offline, a crate with dependencies refused) or a single
main.rs (rustc), or a go.mod (Go: go build, a module that requires others refused). Nothing is
fetched: a build has no network. Only the entry's own directory is searched for sources.

Each entry receives zarvo-entry.txt (the command that plays it, the recipe, the time taken, ok
or failed) and zarvo-build.log (the build's output). The summary has one line per entry, and the
last lines of the output of a failed build. Exit status 1 when any entry failed, 2 for a bad
command line. Built entries play as `--player ENTRY` or `--entries DIR` in tournament and sprt.

Options (--option VALUE or --option=VALUE):
  --time-limit TIME     wall time of each build, `90` seconds or `500ms` (120 s)
  --memory-limit MB     resident memory of each build's whole process tree (2048)
  --process-limit N     processes and threads of each build's process tree (256)
  --file-limit MB       the most disk a build keeps, its sources and all it writes together;
                        also the largest file it may write (512)
  --launcher PROGRAM    the java-launcher Java entries are played through (java-launcher beside
                        zarvo-arena)
  --ro-dir DIR          show DIR, read-only at its own path, in every build's sandbox, as for a
                        compiler installed outside the system directories (repeatable)
  --env NAME=VALUE      set NAME in every build's environment (repeatable), which otherwise holds
                        only PATH=/usr/local/bin:/usr/bin:/bin, HOME, LANG and PWD; a PATH given
                        replaces that one. A rustup toolchain in root's home, for instance:
                          --ro-dir /root/.cargo --ro-dir /root/.rustup
                          --env RUSTUP_HOME=/root/.rustup --env PATH=/root/.cargo/bin:/usr/bin:/bin
)";

void print_outcome(const entry::BuildOutcome& outcome) {
  const entry::EntryRecord& record = outcome.record;
  // One line per entry, whatever its directory is named.
  const std::string shown = printable(outcome.entry.string(), outcome.entry.string().size());
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f s", record.seconds);
  if (record.ok()) {
    std::cout << "ok      " << shown << "  " << record.recipe << "  " << seconds
              << "  plays as: " << record.command << "\n";
    return;
  }
  std::cout << "FAILED  " << shown << "  " << record.recipe << "  " << seconds << "  "
            << record.result.substr(record.result.find(' ') + 1) << "\n";
  for (const std::string& line : outcome.output_tail) std::cout << "    | " << line << "\n";
}

}  // namespace

void add_entries(std::vector<series::TournamentPlayer>& players, const std::string& dir,
                 std::vector<series::NotBuiltEntry>* not_built) {
  std::vector<series::LeftOutEntry> left_out;
  auto found = series::entry_players(dir, left_out);
  for (const series::LeftOutEntry& left : left_out) {
    std::cerr << "left out: " << left.why << "\n";
    if (not_built && left.entry) not_built->push_back(*left.entry);
  }
  players.insert(players.end(), found.begin(), found.end());
}

int run_build_command(std::span<const std::string> args) {
  if (asks_for_help(args)) {
    std::cout << kUsage;
    return 0;
  }
  entry::BuildLimits limits;
  entry::BuildSandbox shown;
  fs::path launcher;
  std::vector<std::string> entries;
  try {
    CommandLine line;
    line.option("--time-limit", [&](const std::string& v) { limits.time = parse_duration(v); });
    line.option("--memory-limit",
                [&](const std::string& v) { limits.memory_mb = parse_megabytes(v); });
    line.option("--process-limit", [&](const std::string& v) {
      limits.processes = static_cast<std::size_t>(parse_whole(v, 1, kMaxProcessLimit));
    });
    line.option("--file-limit", [&](const std::string& v) { limits.file_mb = parse_megabytes(v); });
    line.option("--launcher", [&](const std::string& v) { launcher = fs::absolute(v); });
    // Read as `match` reads them, through its own options.
    MatchConfig sandbox_options;
    line.option("--ro-dir", [&](const std::string& v) {
      std::error_code error;
      if (!fs::is_directory(v, error)) throw std::invalid_argument("no directory " + v);
      find_match_option("--ro-dir")->apply(sandbox_options, v);
      shown.readonly_dirs = sandbox_options.ro_dirs;
    });
    line.option("--env", [&](const std::string& v) {
      find_match_option("--env")->apply(sandbox_options, v);
      shown.env = sandbox_options.env;
    });
    line.positionals(entries);
    line.parse(args);
    if (entries.empty()) throw std::invalid_argument("give at least one entry directory");
    if (launcher.empty()) launcher = own_directory() / "java-launcher";
  } catch (const std::exception& error) {
    return usage_error("build", error.what());
  }

  ignore_broken_pipes();
  catch_stop_signals(OnStopSignal::kKillGroups);
  adopt_orphans();
  std::cout << "compilers and flags:\n" << entry::compiler_flags_text() << std::flush;
  int failed = 0;
  int built = 0;
  for (const std::string& given : entries) {
    if (stop_signal_received()) break;
    entry::BuildOutcome outcome = entry::build_entry(given, limits, launcher, shown);
    kill_remaining_children();
    print_outcome(outcome);
    std::cout << std::flush;
    outcome.record.ok() ? ++built : ++failed;
  }
  std::cout << built << " built, " << failed << " failed" << std::endl;
  if (int sig = stop_signal_received()) return 128 + sig;
  return failed > 0 ? 1 : 0;
}

}  // namespace arena::cli
