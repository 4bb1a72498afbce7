#include "arena/entry/entry_build.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>

#include "arena/entry/entry_copy.h"
#include "arena/entry/scratch_dir.h"
#include "arena/entry/source_hash.h"
#include "arena/match/disqualification_notes.h"
#include "arena/process/child_process.h"
#include "arena/process/program_path.h"
#include "arena/process/shell_words.h"
#include "arena/sandbox/bwrap_command.h"
#include "arena/sandbox/sandbox_policy.h"
#include "arena/sandbox/scratch_mount.h"
#include "arena/system/atomic_file.h"
#include "arena/system/bounded_read.h"
#include "arena/system/unique_fd.h"

namespace arena::entry {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kTailLines = 15;
constexpr std::size_t kTailWidth = 200;
// The part of the build's output kept in the entry.
constexpr std::size_t kKeptOutput = 256 * 1024;
// An entry holds one entrant's sources; more files than this are a mistaken directory.
constexpr std::size_t kMaxEntryFiles = 20000;
// What a build may leave: its sources and, for each, room for what compiling it makes.
constexpr std::size_t kMaxBuildFiles = 4 * kMaxEntryFiles;

// Why a name of an entry cannot go into a command, or nothing: a name goes into the command that
// plays the entry and into lines of files (the entry's record, a tournament's job lines), and no
// quoting keeps a line break from breaking a line.
std::optional<std::string> name_problem(const fs::path& path, std::string_view what) {
  const std::string name = path.filename().string();
  if (!has_control_character(name)) return std::nullopt;
  return "refused: " + std::string(what) + " \"" + printable(name, 100) +
         "\" ('?' for a control character): a name with a control character cannot go into a "
         "command";
}

// Refuses a directory that cannot be one entrant's: the root, a system directory or one below
// it, a directory directly below the root (/home, /srv), one holding the arena itself, or one
// with more files than any submission. A root arena writes the build's result into the entry,
// so a slip of the organiser's must not let a build write over the machine. Returns the first
// name of the entry that cannot go into a command, found on the same walk: such an entry is
// refused too, but with a record that says why.
std::optional<std::string> check_entry_directory(const fs::path& entry) {
  auto depth = std::distance(entry.begin(), entry.end());
  if (depth < 3)
    throw std::runtime_error("refused: " + entry.string() + " is not an entry's directory");
  for (const fs::path& system : sandbox::system_directories()) {
    if (sandbox::is_within(entry, system)) {
      throw std::runtime_error("refused: " + entry.string() + " lies in a system directory");
    }
  }
  std::error_code error;
  fs::path own = fs::weakly_canonical(own_directory(), error);
  if (!error && sandbox::is_within(own, entry)) {
    throw std::runtime_error("refused: " + entry.string() + " holds zarvo-arena itself");
  }
  std::optional<std::string> bad_name = name_problem(entry, "the entry's directory is named");
  std::size_t files = 0;
  for (fs::recursive_directory_iterator it(entry, error), end; !error && it != end;
       it.increment(error)) {
    if (++files > kMaxEntryFiles) {
      throw std::runtime_error("refused: " + entry.string() + " holds more than " +
                               std::to_string(kMaxEntryFiles) + " files");
    }
    if (!bad_name) bad_name = name_problem(it->path(), "the entry holds a file named");
  }
  if (error) throw std::runtime_error("cannot list " + entry.string() + ": " + error.message());
  return bad_name;
}

std::string file_limit_text(const BuildLimits& limits) {
  return "stopped by the file limit of " + std::to_string(limits.file_mb) +
         " MB for everything the build keeps";
}

std::string seconds_text(Clock::duration duration) {
  return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(duration).count());
}

// Where the build runs, shown at the entry's own path: a root arena's scratch mount, or (the
// arena's own user building) a scratch directory of the host.
struct BuildArea {
  explicit BuildArea(const BuildLimits& limits) {
    if (sandbox::must_drop_root()) {
      mount.emplace(limits.file_mb, kMaxBuildFiles, sandbox::build_identity());
      copy.reset(::fcntl(mount->fd(), F_DUPFD_CLOEXEC, 0));
      source.tree = mount->fd();
    } else {
      dir.emplace("copy");
      source.dir = dir->path() / "entry";
      if (::mkdir(source.dir.c_str(), 0700) == 0) {
        copy.reset(::open(source.dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
      }
    }
    if (!copy) {
      throw std::system_error(errno, std::generic_category(), "cannot make the build's copy");
    }
  }

  std::optional<sandbox::ScratchMount> mount;
  std::optional<ScratchDir> dir;
  UniqueFd copy;                  // the directory the build works in
  sandbox::WorkdirSource source;  // how its sandbox finds it
};

sandbox::Policy build_policy(const fs::path& entry, const Recipe& recipe, const BuildLimits& limits,
                             const BuildSandbox& shown) {
  sandbox::Policy policy;
  policy.workdir = entry;
  policy.workdir_writable = true;
  policy.readonly_dirs = recipe.readonly_dirs;
  policy.readonly_dirs.insert(policy.readonly_dirs.end(), shown.readonly_dirs.begin(),
                              shown.readonly_dirs.end());
  policy.env = shown.env;
  policy.limits.memory_mb = limits.memory_mb;
  policy.limits.processes = limits.processes;
  if (sandbox::must_drop_root()) policy.identity = sandbox::build_identity();
  return policy;
}

// Runs the recipe; returns "" on success, else why it failed.
std::string run_recipe(const fs::path& entry, const BuildArea& area, const Recipe& recipe,
                       const BuildLimits& limits, const BuildSandbox& shown, const fs::path& log) {
  SpawnRequest request;
  request.program = "/bin/sh";
  // Everything the build writes goes to the log; what it makes is readable by the players.
  request.args = {"/bin/sh", "-c", "umask 022; exec 1>&2; " + recipe.script};
  request.workdir = "/";
  request.error_file = log;
  request.file_size_limit_mb = limits.file_mb;
  request.sandbox = build_policy(entry, recipe, limits, shown);
  request.workdir_source = area.source;
  ChildProcess build(request);
  std::optional<ExitStatus> status = build.wait_exit(Clock::now() + limits.time);
  if (!status) {
    build.kill_group();
    build.reap();
    return "stopped by the time limit of " + seconds_text(limits.time) + " s";
  }
  build.kill_group();
  ExitStatus end = build.reap();
  if (build.memory_killed()) {
    return "stopped by the memory limit of " + std::to_string(limits.memory_mb) + " MB";
  }
  if (area.mount && area.mount->full()) return file_limit_text(limits);
  if (!end.success()) return "the build ended with " + end.describe();
  return "";
}

// Checks what the build left against the limits, then copies it into the entry; returns "" on
// success, else why it failed.
std::string keep_result(const BuildArea& area, const CopiedSources& sources, int entry_dir,
                        const BuildLimits& limits) {
  CopySize size = measure_copy(area.copy.get(), kMaxBuildFiles);
  if (size.files > kMaxBuildFiles) {
    return "the build left more than " + std::to_string(kMaxBuildFiles) + " files";
  }
  // Counted by size, not by the room it takes: a sparse file is written back whole.
  if (size.bytes > static_cast<std::uintmax_t>(limits.file_mb) * 1024 * 1024) {
    return file_limit_text(limits);
  }
  copy_result(area.copy.get(), entry_dir, sources);
  return "";
}

// Refuses an entry given as a link to a directory elsewhere: the result is written into the
// entry as the arena's user. `entry` is where `given` resolves to.
void refuse_links(const fs::path& given, const fs::path& entry) {
  std::error_code error;
  const fs::path named = sandbox::normal_absolute(given);
  if (fs::is_symlink(named, error)) {
    throw std::runtime_error("refused: " + given.string() + " is a symbolic link");
  }
  if (fs::canonical(named.parent_path(), error) / named.filename() != entry || error) {
    throw std::runtime_error("refused: " + given.string() + " resolves outside " +
                             named.parent_path().string());
  }
}

// The entry opened, its last step never through a link (should one be put in its place since).
UniqueFd open_entry(const fs::path& given, const fs::path& entry) {
  UniqueFd parent_dir(::open(entry.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  UniqueFd dir;
  if (parent_dir) {
    dir.reset(::openat(parent_dir.get(), entry.filename().c_str(),
                       O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  }
  if (!dir)
    throw std::system_error(errno, std::generic_category(), "cannot open " + given.string());
  return dir;
}

}  // namespace

BuildOutcome build_entry(const fs::path& given, const BuildLimits& limits, const fs::path& launcher,
                         const BuildSandbox& shown) {
  BuildOutcome outcome;
  outcome.entry = given;
  const TimePoint start = Clock::now();
  std::string failure;
  bool entry_directory = false;  // the record is written only into a real entry's directory
  try {
    std::error_code error;
    if (!fs::is_directory(given, error)) throw std::runtime_error("not a directory");
    const fs::path entry = fs::canonical(given);
    refuse_links(given, entry);
    const std::optional<std::string> bad_name = check_entry_directory(entry);
    UniqueFd entry_dir = open_entry(given, entry);
    entry_directory = true;
    ::unlink((entry / kEntryFile).c_str());  // never left standing from an earlier build
    if (bad_name) throw std::runtime_error(*bad_name);
    Recipe recipe = choose_recipe(entry, launcher);
    outcome.record.recipe = recipe.name;
    outcome.record.command = recipe.command;
    outcome.record.sources = source_hash(entry, recipe);
    ScratchDir scratch("build");
    const fs::path log = scratch.path() / kBuildLog;
    BuildArea area(limits);
    CopiedSources sources;
    try {
      std::optional<sandbox::Identity> owner;
      if (sandbox::must_drop_root()) owner = sandbox::build_identity();
      sources = copy_sources(entry_dir.get(), area.copy.get(), owner);
    } catch (const std::runtime_error&) {
      if (area.mount && area.mount->full()) throw std::runtime_error(file_limit_text(limits));
      throw;
    }
    failure = run_recipe(entry, area, recipe, limits, shown, log);
    replace_file(entry / kBuildLog, read_tail(log, kKeptOutput));
    if (failure.empty()) failure = keep_result(area, sources, entry_dir.get(), limits);
    if (failure.empty() && !fs::is_regular_file(entry / recipe.product, error)) {
      failure = "the build left no " + recipe.product;
    }
    if (!failure.empty()) outcome.output_tail = last_lines(log, kTailLines, kTailWidth);
  } catch (const std::exception& error) {
    failure = error.what();
  }
  outcome.record.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  outcome.record.result = failure.empty() ? "ok" : "failed: " + failure;
  if (outcome.record.recipe.empty()) outcome.record.recipe = "none";
  try {
    if (entry_directory) write_entry_record(given, outcome.record);
  } catch (const std::exception& error) {
    outcome.record.result = "failed: " + std::string(error.what());
  }
  return outcome;
}

}  // namespace arena::entry
