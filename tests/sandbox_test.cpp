// Sandboxed players, tested through the real programs: bubblewrap and the control groups carry
// out the sandbox library's policy, shell commands look around from inside, and a cheating bot
// tries its tricks. Every trick must fail, every limit must hold, and nothing of a sandbox may
// outlive it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "arena/process/child_process.h"
#include "arena/process/line_reader.h"
#include "arena/sandbox/bwrap_command.h"
#include "arena/sandbox/cgroup_layout.h"
#include "arena/sandbox/control_group.h"
#include "arena/sandbox/host_support.h"
#include "arena/sandbox/player_sandbox.h"
#include "arena/sandbox/process_tree.h"
#include "arena/sandbox/syscall_filter.h"
#include "arena/sandbox/user_leases.h"
#include "arena/system/unique_fd.h"
#include "tests/support/loopback_listener.h"
#include "tests/support/process_check.h"
#include "tests/support/test_files.h"

namespace fs = std::filesystem;
using namespace arena::sandbox;
using arena::Milliseconds;
using test_support::lines_of;
using test_support::read_file;

namespace {

const std::string kBin = ZARVO_BIN_DIR;
const std::string kArena = kBin + "/zarvo-arena";
const std::string kCheater = CHEATING_BOT;
// The start of a game for player 1, up to its first tile; the end of input ends the game.
const std::string kGameStart = "1\nHh523146h\nStart\n123456\n";

void open_to_everybody(const fs::path& path) {
  fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
}

// The host's real user id of a process, from /proc/PID/status; -1 when it is gone.
long host_uid(pid_t pid) {
  std::istringstream status(read_file("/proc/" + std::to_string(pid) + "/status"));
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("Uid:")) return std::atol(line.c_str() + 4);
  }
  return -1;
}

char process_state(pid_t pid) {
  std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
  auto close = stat.rfind(')');
  return close == std::string::npos || close + 2 >= stat.size() ? '?' : stat[close + 2];
}

struct Outcome {
  arena::ExitStatus status;
  std::string out;
  std::string err;
  std::optional<Milliseconds> cpu;
  bool memory_killed = false;
};

// Reads the child's output until it ends or the child has ended.
std::string collect_output(arena::LineReader& reader, arena::ChildProcess& child,
                           arena::TimePoint deadline) {
  std::string out;
  std::string line;
  while (reader.read_line(line, deadline, child.exit_fd()) == arena::ReadStatus::kLine) {
    out += line + "\n";
  }
  return out;
}

class Sandbox : public ::testing::Test {
 protected:
  void SetUp() override {
    if (auto problem = host_support().problem()) GTEST_SKIP() << "no sandbox here: " << *problem;
    test_support::adopt_orphans();
    static int counter = 0;
    marker_ = "sandboxmark_" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
    char dir_template[] = "/tmp/sandbox-test.XXXXXX";
    dir_ = ::mkdtemp(dir_template);
    // The player's user must be able to reach the directories a test shows it, so that only
    // the sandbox can be what hides the others.
    open_to_everybody(dir_);
    work_ = dir_ / "player";
    fs::create_directory(work_);
    open_to_everybody(work_);
    if (must_drop_root()) users_ = lease_users(UserRange{}, 2, arena::Clock::now());
  }

  void TearDown() override {
    if (dir_.empty()) return;
    EXPECT_EQ(test_support::processes_with(marker_), std::vector<pid_t>{})
        << "processes of a sandbox remain";
    fs::remove_all(dir_);
  }

  Policy policy(int seat = 1) const {
    Policy p;
    p.workdir = work_;
    p.readonly_dirs = {fs::path(kCheater).parent_path()};
    p.limits.processes = kDefaultProcessLimit;
    if (must_drop_root()) p.identity = users_.at(seat - 1).identity();
    return p;
  }

  Outcome run(const Policy& policy, const std::vector<std::string>& argv,
              const std::string& input = "") {
    static int runs = 0;
    Outcome result;
    fs::path errors_file = dir_ / ("errors." + std::to_string(++runs));
    arena::SpawnRequest request = sandboxed(policy, argv);
    request.pipe_input = true;
    request.pipe_output = true;
    request.error_file = errors_file;
    arena::ChildProcess child(request);
    arena::UniqueFd in = child.take_input();
    if (!input.empty()) {
      EXPECT_EQ(::write(in.get(), input.data(), input.size()), static_cast<ssize_t>(input.size()));
    }
    in.reset();
    arena::LineReader reader(child.take_output());
    auto deadline = arena::Clock::now() + std::chrono::seconds(60);
    result.out = collect_output(reader, child, deadline);
    EXPECT_TRUE(child.wait_exit(deadline)) << "the sandboxed program did not end";
    child.kill_group();
    result.status = child.reap();
    result.cpu = child.cpu_time();
    result.memory_killed = child.memory_killed();
    result.err = read_file(errors_file);
    return result;
  }

  Outcome shell(const std::string& script, const Policy& p) {
    return run(p, {"/bin/sh", "-c", script, marker_});
  }
  Outcome shell(const std::string& script) { return shell(script, policy()); }

  std::vector<std::string> cheater_args(const std::string& trick,
                                        const std::vector<std::string>& extra) const {
    std::vector<std::string> args = {kCheater, "--trick=" + trick, "--marker=" + marker_};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }

  // The cheating bot in a sandbox: the line it wrote about its trick. It must still answer.
  std::string cheat(const std::string& trick, const std::vector<std::string>& extra = {}) {
    Outcome result = run(policy(), cheater_args(trick, extra), kGameStart);
    EXPECT_EQ(lines_of(result.out).size(), 1u) << "the cheater did not answer its tile\n"
                                               << result.out << result.err;
    return trick_line(result.err);
  }

  // The same bot without a sandbox, to show that the trick works where nothing stops it.
  std::string cheat_unsandboxed(const std::string& trick,
                                const std::vector<std::string>& extra = {}) {
    fs::path errors_file = dir_ / "errors.plain";
    arena::SpawnRequest request;
    request.program = kCheater;
    request.args = cheater_args(trick, extra);
    request.workdir = work_;
    request.pipe_input = true;
    request.error_file = errors_file;
    arena::ChildProcess child(request);
    arena::UniqueFd in = child.take_input();
    EXPECT_GT(::write(in.get(), kGameStart.data(), kGameStart.size()), 0);
    in.reset();
    child.wait_exit(arena::Clock::now() + std::chrono::seconds(30));
    child.kill_group();
    child.reap();
    return trick_line(read_file(errors_file));
  }

  // A request to start `argv` in a sandbox of `policy`.
  static arena::SpawnRequest sandboxed(const Policy& policy, const std::vector<std::string>& argv) {
    arena::SpawnRequest request;
    request.program = argv[0];
    request.args = argv;
    request.sandbox = policy;
    return request;
  }

  static std::string trick_line(const std::string& err) {
    for (const std::string& line : lines_of(err)) {
      if (line.starts_with("TRICK ")) return line;
    }
    return "no TRICK line in: " + err;
  }

  // A process outside any sandbox, carrying `name` in its command line, that waits.
  std::unique_ptr<arena::ChildProcess> victim(const std::string& name,
                                              const fs::path& workdir = {}) {
    arena::SpawnRequest request;
    request.program = "/bin/sh";
    request.args = {"/bin/sh", "-c", "sleep 60; true", name + "_" + marker_};
    request.workdir = workdir;
    return std::make_unique<arena::ChildProcess>(request);
  }

  fs::path dir_;
  fs::path work_;
  std::string marker_;
  std::vector<UserLease> users_;  // the seats' users, as a root arena leases them
};

bool blocked(const std::string& line) { return line.find(": blocked (") != std::string::npos; }

// --- what the player sees -------------------------------------------------------------------

TEST_F(Sandbox, OwnNamespacesForUserPidNetworkIpcAndHostName) {
  Outcome result = shell("for ns in user pid net ipc uts; do readlink /proc/self/ns/$ns; done");
  ASSERT_TRUE(result.status.success()) << result.err;
  std::vector<std::string> inside = lines_of(result.out);
  ASSERT_EQ(inside.size(), 5u) << result.out;
  int i = 0;
  for (const char* ns : {"user", "pid", "net", "ipc", "uts"}) {
    EXPECT_NE(inside[i++], fs::read_symlink(fs::path("/proc/self/ns") / ns).string()) << ns;
  }
}

TEST_F(Sandbox, SeesOnlyItsOwnProcessesAndALoopback) {
  Outcome result = shell("ls /proc | grep -c '^[0-9]'; tail -n +3 /proc/net/dev | cut -d: -f1");
  ASSERT_TRUE(result.status.success()) << result.err;
  std::vector<std::string> lines = lines_of(result.out);
  ASSERT_EQ(lines.size(), 2u) << result.out;
  // bwrap's init, the shell, and the commands of the pipeline.
  EXPECT_LE(std::stoi(lines[0]), 6) << "processes outside the sandbox are visible";
  EXPECT_EQ(lines[1].substr(lines[1].find_first_not_of(' ')), "lo");
}

TEST_F(Sandbox, FileSystemShowsSystemDirectoriesAndItsOwnDirectoryOnly) {
  std::ofstream(dir_ / "secret.txt") << "the tile script\n";
  std::ofstream(work_ / "own.txt") << "shipped with the bot\n";
  // The user's home, unless it is one of the places a sandbox has of its own.
  std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  if (home.empty() || home == "/" || home.starts_with("/tmp")) home = "/root";
  // Where the project itself lies in the home (a clone under /root), the way down to its shown
  // directories is there, and nothing else.
  std::string way_down = "-";
  fs::path bin = fs::path(kBin).lexically_normal();
  fs::path below = bin.lexically_relative(home);
  if (!below.empty() && *below.begin() != "..") way_down = below.begin()->string();
  const std::vector<std::string> checks = {
      "test -e " + (dir_ / "secret.txt").string() + " && echo SECRET",
      "for entry in $(ls -A '" + home + "' 2>/dev/null); do [ \"$entry\" = '" + way_down +
          "' ] || echo HOME_OF_USER; done",
      "ls -A " + dir_.string(),  // only the way to its own directory
      "test -x /usr/bin/python3 && test -r /etc/passwd && echo SYSTEM",
      "echo x > /usr/written 2>/dev/null && echo USR_WRITABLE",
      "echo x > /written 2>/dev/null && echo ROOT_WRITABLE",
      "echo x > " + (dir_ / "beside").string() + " 2>/dev/null",  // the private /tmp
      "echo changed > own.txt 2>/dev/null && echo OWN_CHANGED",
      "echo new > new.txt && cat new.txt own.txt",
      "echo t > /tmp/t && echo h > $HOME/h && echo SCRATCH",
      "pwd"};
  std::string script;
  for (const std::string& check : checks) script += check + "\n";
  Outcome result = shell(script);
  ASSERT_TRUE(result.status.success()) << result.err;
  EXPECT_EQ(lines_of(result.out),
            (std::vector<std::string>{"player", "SYSTEM", "new", "shipped with the bot", "SCRATCH",
                                      work_.string()}))
      << result.out;
  EXPECT_FALSE(fs::exists(work_ / "new.txt")) << "a file written in the sandbox reached the host";
  EXPECT_FALSE(fs::exists(dir_ / "beside"));
  EXPECT_EQ(read_file(work_ / "own.txt"), "shipped with the bot\n");
}

TEST_F(Sandbox, ReadOnlyDirectoryIsVisibleAtItsOwnPath) {
  fs::path shared = dir_ / "shared";
  fs::create_directory(shared);
  open_to_everybody(shared);
  std::ofstream(shared / "book.txt") << "openings\n";
  Policy p = policy();
  p.readonly_dirs.push_back(shared);
  Outcome result = shell("cat " + (shared / "book.txt").string() + "; touch " +
                             (shared / "mine").string() + " 2>/dev/null || echo READ_ONLY",
                         p);
  EXPECT_EQ(result.out, "openings\nREAD_ONLY\n") << result.err;
}

TEST_F(Sandbox, EnvironmentHoldsOnlyTheFixedVariablesAndTheGivenOnes) {
  ::setenv("SANDBOX_TEST_LEAK", "1", 1);
  Policy p = policy();
  p.env = {{"ZARVO_SOAK_RUN", "run-7"}, {"MODE", "a b=c"}};
  Outcome result = run(p, {"/usr/bin/env"});
  ::unsetenv("SANDBOX_TEST_LEAK");
  std::vector<std::string> lines = lines_of(result.out);
  std::set<std::string> env(lines.begin(), lines.end());
  EXPECT_EQ(env, (std::set<std::string>{"PATH=/usr/local/bin:/usr/bin:/bin", "HOME=/home/player",
                                        "LANG=C.UTF-8", "PWD=" + work_.string(),
                                        "ZARVO_SOAK_RUN=run-7", "MODE=a b=c"}))
      << result.out;
}

TEST_F(Sandbox, PlayerNeverRunsAsRootOnTheHost) {
  arena::SpawnRequest request = sandboxed(policy(2), {"/bin/sh", "-c", "read line", marker_});
  request.pipe_input = true;
  arena::ChildProcess child(request);
  arena::UniqueFd in = child.take_input();
  // bwrap itself and everything inside carry the marker in their command lines.
  std::vector<pid_t> inside;
  for (int i = 0; i < 200 && inside.size() < 3; ++i) {
    inside = test_support::processes_with(marker_, 0);
    ::usleep(10 * 1000);
  }
  ASSERT_GE(inside.size(), 3u) << "bwrap, its init and the shell";
  const long expected = must_drop_root() ? users_.at(1).identity().uid : ::getuid();
  for (pid_t pid : inside) EXPECT_EQ(host_uid(pid), expected) << "process " << pid;
  in.reset();
  child.wait_exit(arena::Clock::now() + std::chrono::seconds(10));
  child.kill_group();
  child.reap();
}

// --- nothing survives -----------------------------------------------------------------------

TEST_F(Sandbox, EndOfBwrapTakesDownEveryProcessInside) {
  // Processes in sessions of their own, out of reach of a kill of the process group: the PID
  // namespace dies with its init, even before the control groups are emptied.
  arena::ChildProcess child(sandboxed(
      policy(),
      {"/bin/sh", "-c", "setsid sleep 1000 & setsid sh -c 'sleep 1000 & wait' & wait", marker_}));
  for (int i = 0; i < 200 && test_support::processes_with(marker_, 0).size() < 4; ++i) {
    ::usleep(10 * 1000);
  }
  ::kill(child.pid(), SIGKILL);  // bwrap alone
  child.wait_exit(arena::Clock::now() + std::chrono::seconds(10));
  EXPECT_EQ(test_support::processes_with(marker_), std::vector<pid_t>{});
  child.reap();
}

TEST_F(Sandbox, ControlGroupsAreRemovedAfterTheSandbox) {
  if (!host_support().cgroups.any()) GTEST_SKIP() << "no control groups can be made here";
  std::vector<fs::path> groups;
  {
    PlayerSandbox sandbox(host_support(), policy());
    ASSERT_NE(sandbox.control_group(), nullptr);
    groups = sandbox.control_group()->directories();
    ASSERT_FALSE(groups.empty());
    for (const fs::path& group : groups) EXPECT_TRUE(fs::is_directory(group)) << group;
  }
  for (const fs::path& group : groups) EXPECT_FALSE(fs::exists(group)) << group;
}

// --- limits and accounting ------------------------------------------------------------------

TEST_F(Sandbox, MemoryLimitKillsAndIsReported) {
  Policy p = policy();
  p.limits.memory_mb = 64;
  Outcome result = run(p, cheater_args("memory", {}), kGameStart);
  if (host_support().cgroups.memory.empty()) {
    // Without a memory group the address-space limit refuses the allocation instead.
    EXPECT_TRUE(blocked(trick_line(result.err))) << result.err;
    return;
  }
  EXPECT_TRUE(result.memory_killed);
  EXPECT_EQ(result.out, "") << "killed before it could answer";
  EXPECT_FALSE(result.status.success()) << result.status.describe();
}

TEST_F(Sandbox, ProcessLimitHoldsForTheWholeTree) {
  std::string line = cheat("procs");
  EXPECT_TRUE(line.starts_with("TRICK procs: blocked (fork after ")) << line;
  int made = std::atoi(line.c_str() + std::string("TRICK procs: blocked (fork after ").size());
  EXPECT_LT(made, static_cast<int>(kDefaultProcessLimit)) << line;
}

TEST_F(Sandbox, ForkBombIsContained) {
  std::string line = cheat("forkbomb");
  EXPECT_TRUE(line.starts_with("TRICK forkbomb: blocked (stopped at ")) << line;
}

TEST_F(Sandbox, CpuTimeCountsTheWholeTree) {
  // A child of the shell burns CPU, says how much, and waits; the count must include it,
  // whether the control groups count or /proc is read.
  arena::SpawnRequest request =
      sandboxed(policy(), {"/bin/sh", "-c",
                           "python3 -c 'import time\n"
                           "while time.process_time() < 0.3: pass\n"
                           "print(int(time.process_time() * 1000), flush=True)\n"
                           "time.sleep(60)' & wait",
                           marker_});
  request.pipe_output = true;
  arena::ChildProcess child(request);
  arena::LineReader reader(child.take_output());
  std::string line;
  ASSERT_EQ(reader.read_line(line, arena::Clock::now() + std::chrono::seconds(30)),
            arena::ReadStatus::kLine);
  const int burnt = std::atoi(line.c_str());
  EXPECT_GE(burnt, 300);
  // /proc counts in clock ticks.
  const int slack = host_support().cgroups.cpu.empty() ? 30 : 0;
  EXPECT_GE(child.cpu_time().count(), burnt - slack);
  EXPECT_GE(arena::sandbox::process_tree_cpu_time(child.pid()).count(), burnt - 30);
  child.kill_group();
  child.reap();
  EXPECT_GE(child.cpu_time().count(), burnt - slack) << "after the end";
}

// --- the cheating bot's tricks --------------------------------------------------------------

TEST_F(Sandbox, CheaterCannotSignalStopOrTraceProcessesOutside) {
  auto outside = victim("free");
  arena::ChildProcess opponent(
      sandboxed(policy(2), {"/bin/sh", "-c", "sleep 60; true", "caged_" + marker_}));
  ::usleep(100 * 1000);
  for (const char* trick : {"kill", "stop", "stdin", "ptrace"}) {
    std::string line = cheat(trick, {"--victim=" + marker_});
    EXPECT_EQ(line, std::string("TRICK ") + trick + ": blocked (no other process in sight)");
    EXPECT_FALSE(outside->exited()) << trick;
    EXPECT_FALSE(opponent.exited()) << trick;
    EXPECT_NE(process_state(outside->pid()), 'T') << trick;
  }
  // Without a sandbox the same trick kills its victim: the test can see a trick that works.
  EXPECT_EQ(cheat_unsandboxed("kill", {"--victim=free_" + marker_}), "TRICK kill: succeeded");
  EXPECT_TRUE(outside->wait_exit(arena::Clock::now() + std::chrono::seconds(5)));
}

TEST_F(Sandbox, CheaterCannotReadTheTileScriptOrFilesOutside) {
  char referee_template[] = "/tmp/zarvo-arena.XXXXXX";
  fs::path referee_dir = ::mkdtemp(referee_template);
  open_to_everybody(referee_dir);
  std::ofstream(referee_dir / "tiles.txt") << "4 2\n654321\n";
  auto referee = victim("referee", referee_dir);
  fs::path secret = dir_ / "secret.txt";
  std::ofstream(secret) << "the opponent's source\n";

  EXPECT_TRUE(blocked(cheat("tiles"))) << cheat("tiles");
  EXPECT_TRUE(blocked(cheat("readfile", {"--path=" + secret.string()})));
  EXPECT_EQ(cheat_unsandboxed("tiles"), "TRICK tiles: succeeded");
  EXPECT_EQ(cheat_unsandboxed("readfile", {"--path=" + secret.string()}),
            "TRICK readfile: succeeded");
  referee.reset();
  fs::remove_all(referee_dir);
}

TEST_F(Sandbox, CheaterCannotReachTheHostsLoopback) {
  test_support::LoopbackListener listener;
  ASSERT_GT(listener.port(), 0);
  std::string port = "--port=" + std::to_string(listener.port());

  EXPECT_EQ(cheat("connect", {port}), "TRICK connect: blocked (connect: Connection refused)");
  EXPECT_EQ(cheat_unsandboxed("connect", {port}), "TRICK connect: succeeded");
}

TEST_F(Sandbox, NothingTheCheaterWritesReachesTheHostOrALaterGame) {
  // Next to its directory it writes into a scratch area at best (here, the private /tmp).
  fs::path beside = dir_ / "beside.txt";
  cheat("writeout", {"--path=" + beside.string()});
  EXPECT_FALSE(fs::exists(beside));
  // In its own directory it may write during the game, but the file goes with the sandbox.
  EXPECT_EQ(cheat("leftover"), "TRICK leftover: succeeded");
  EXPECT_FALSE(fs::exists(work_ / "cheat-leftover"));
  EXPECT_TRUE(blocked(cheat("readfile", {"--path=" + (work_ / "cheat-leftover").string()})));
  EXPECT_EQ(cheat_unsandboxed("writeout", {"--path=" + beside.string()}),
            "TRICK writeout: succeeded");
  EXPECT_TRUE(fs::exists(beside));
}

// --- the policy's command line --------------------------------------------------------------

TEST(SandboxCommand, WorkingDirectoryEntriesAreShownReadOnlyOverAScratchArea) {
  char dir_template[] = "/tmp/sandbox-cmd.XXXXXX";
  fs::path dir = ::mkdtemp(dir_template);
  std::ofstream(dir / "bot") << "";
  fs::create_directory(dir / "data");
  fs::create_symlink("bot", dir / "link");
  Policy policy;
  policy.workdir = dir.string() + "/";
  std::vector<std::string> args = bwrap_command(policy, dir / "bot", {"./bot", "--fast"});
  auto at = [&](const std::vector<std::string>& words) {
    auto found = std::search(args.begin(), args.end(), words.begin(), words.end());
    return found == args.end() ? -1 : static_cast<int>(found - args.begin());
  };
  int tmp = at({"--tmpfs", "/tmp"});
  int scratch = at({"--tmpfs", dir.string()});
  int data = at({"--ro-bind-try", (dir / "data").string(), (dir / "data").string()});
  int link = at({"--symlink", "bot", (dir / "link").string()});
  int seal = at({"--remount-ro", "/"});
  ASSERT_GE(tmp, 0);
  EXPECT_LT(tmp, scratch) << "a directory below /tmp must be mounted after /tmp";
  EXPECT_LT(scratch, data);
  EXPECT_LT(scratch, link);
  EXPECT_GT(seal, std::max(data, link)) << "the root is sealed after the last mount point";
  EXPECT_GE(at({"--clearenv"}), 0);
  EXPECT_GE(at({"--chdir", dir.string(), "--", (dir / "bot").string(), "--fast"}), 0);
  EXPECT_EQ(args.back(), "--fast");
  fs::remove_all(dir);
}

TEST(SandboxCommand, GameFilesOtherPlayersAndArenaScratchInTheWorkingDirectoryAreLeftOut) {
  // A player run from a directory that also holds the game's output, the other player and the
  // arena's scratch directories (as when it is the temporary directory).
  char dir_template[] = "/tmp/sandbox-cmd.XXXXXX";
  fs::path dir = ::mkdtemp(dir_template);
  for (const char* sub :
       {"results/refereelogs", "other/bot", "zarvo-arena.AbC123", "zarvo-player.XyZ789", "mine"}) {
    fs::create_directories(dir / sub);
  }
  std::ofstream(dir / "tiles.txt") << "4 2\n654321\n";
  std::ofstream(dir / "bot.py") << "";
  Policy policy;
  policy.workdir = dir;
  policy.hidden = {dir / "results" / "refereelogs", dir / "tiles.txt", dir / "other" / "bot"};
  std::vector<std::string> args = bwrap_command(policy, "/usr/bin/python3", {"python3", "x"});
  std::set<std::string> shown;
  for (std::size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == "--ro-bind-try") shown.insert(fs::path(args[i + 1]).filename().string());
  }
  EXPECT_EQ(shown, (std::set<std::string>{"bot.py", "mine"}));
  fs::remove_all(dir);
}

TEST(SandboxCommand, ADirectoryIsMountedBeforeTheDirectoriesWithinIt) {
  // A program directory below the working directory (hidden there, as the other player's
  // would be) must not be covered by the working directory's scratch area, nor the working
  // directory by a read-only directory above it.
  char dir_template[] = "/tmp/sandbox-cmd.XXXXXX";
  fs::path dir = ::mkdtemp(dir_template);
  fs::create_directories(dir / "work" / "tree" / "bin");
  Policy policy;
  policy.workdir = dir / "work";
  policy.readonly_dirs = {dir / "work" / "tree" / "bin", dir};
  policy.hidden = {dir / "work" / "tree"};
  std::vector<std::string> args = bwrap_command(policy, "/usr/bin/python3", {"python3"});
  auto at = [&](const std::string& option, const fs::path& path) {
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
      if (args[i] == option && args[i + 1] == path.string()) return static_cast<int>(i);
    }
    return -1;
  };
  int above = at("--ro-bind", dir);
  int scratch = at("--tmpfs", dir / "work");
  int below = at("--ro-bind", dir / "work" / "tree" / "bin");
  ASSERT_GE(above, 0);
  EXPECT_LT(above, scratch);
  EXPECT_LT(scratch, below);
  EXPECT_EQ(at("--ro-bind-try", dir / "work" / "tree"), -1);
  fs::remove_all(dir);
}

TEST(SandboxCommand, RefusesWhatItCannotShow) {
  Policy policy;
  policy.workdir = "/no/such/dir";
  EXPECT_THROW(bwrap_command(policy, "/bin/true", {"true"}), SandboxError);
  policy.workdir = "/";
  EXPECT_THROW(bwrap_command(policy, "/bin/true", {"true"}), SandboxError);
  policy.workdir = "/usr/bin";  // visible already: no scratch area over a system directory
  policy.readonly_dirs = {"/no/such/book"};
  EXPECT_THROW(bwrap_command(policy, "/bin/true", {"true"}), SandboxError);
  policy.readonly_dirs.clear();
  std::vector<std::string> args = bwrap_command(policy, "/bin/true", {"true"});
  EXPECT_EQ(std::find(args.begin(), args.end(), "/usr/bin"), args.end() - 3);  // --chdir only

  char dir_template[] = "/tmp/sandbox-cmd.XXXXXX";
  fs::path crowded = ::mkdtemp(dir_template);
  for (std::size_t i = 0; i <= kMaxWorkdirEntries; ++i) {
    std::ofstream(crowded / std::to_string(i)) << "";
  }
  policy.workdir = crowded;
  EXPECT_THROW(bwrap_command(policy, "/bin/true", {"true"}), SandboxError);
  fs::remove_all(crowded);
}

// --- where control groups may be made -------------------------------------------------------

TEST(CgroupLayout, V1HierarchiesBelowTheProcessesOwnGroups) {
  const char* mountinfo =
      "30 25 0:26 / /sys/fs/cgroup rw - tmpfs tmpfs rw\n"
      "31 30 0:27 / /sys/fs/cgroup/cpu,cpuacct rw,relatime shared:5 - cgroup cgroup "
      "rw,cpu,cpuacct\n"
      "32 30 0:28 / /sys/fs/cgroup/memory rw - cgroup cgroup rw,memory\n"
      "33 30 0:29 /docker/abc /sys/fs/cgroup/pids rw - cgroup cgroup rw,pids\n"
      "34 30 0:30 / /sys/fs/cgroup/unified rw - cgroup2 cgroup2 rw\n";
  const char* self = "5:pids:/docker/abc/x\n4:memory:/jobs/7\n3:cpu,cpuacct:/\n0::/\n";
  CgroupLayout layout = parse_cgroup_layout(mountinfo, self);
  EXPECT_EQ(layout.version, CgroupVersion::kV1);
  EXPECT_EQ(layout.memory, "/sys/fs/cgroup/memory/jobs/7");
  EXPECT_EQ(layout.pids, "/sys/fs/cgroup/pids/x");
  EXPECT_EQ(layout.cpu, "/sys/fs/cgroup/cpu,cpuacct");
}

TEST(CgroupLayout, V2GroupAndTheLeafOfAnArenaAboveThisOne) {
  const char* mountinfo = "40 1 0:33 / /sys/fs/cgroup rw,nosuid - cgroup2 cgroup2 rw\n";
  CgroupLayout layout = parse_cgroup_layout(mountinfo, "0::/user.slice/run-1.scope\n");
  EXPECT_EQ(layout.version, CgroupVersion::kV2);
  EXPECT_EQ(layout.memory, "/sys/fs/cgroup/user.slice/run-1.scope");
  EXPECT_EQ(layout.pids, layout.memory);
  EXPECT_EQ(layout.v2_mount, "/sys/fs/cgroup");
  layout = parse_cgroup_layout(mountinfo, "0::/user.slice/run-1.scope/zarvo-arena\n");
  EXPECT_EQ(layout.memory, "/sys/fs/cgroup/user.slice/run-1.scope");
  layout = parse_cgroup_layout(mountinfo, "0::/\n");
  EXPECT_EQ(layout.memory, "/sys/fs/cgroup");
}

TEST(CgroupLayout, NoHierarchyOfItsOwn) {
  CgroupLayout layout =
      parse_cgroup_layout("22 1 8:1 / / rw - ext4 /dev/root rw\n", "0::/\n1:name=x:/\n");
  EXPECT_EQ(layout.version, CgroupVersion::kNone);
  EXPECT_FALSE(layout.any());
  EXPECT_FALSE(layout.problems.empty());
}

// --- the spawn hooks ------------------------------------------------------------------------

TEST(SpawnHooks, ChildWritesZeroToEveryJoinDescriptorBeforeExec) {
  arena::Pipe first = arena::make_pipe(), second = arena::make_pipe();
  arena::SpawnRequest request;
  request.program = "/bin/true";
  request.join_fds = {first.write.get(), second.write.get()};
  arena::ChildProcess child(request);
  first.write.reset();
  second.write.reset();
  EXPECT_TRUE(child.wait_exit(arena::Clock::now() + std::chrono::seconds(10)));
  EXPECT_TRUE(child.reap().success());
  for (arena::Pipe* pipe : {&first, &second}) {
    char buffer[8];
    EXPECT_EQ(::read(pipe->read.get(), buffer, sizeof buffer), 1);
    EXPECT_EQ(buffer[0], '0');
  }
}

TEST(SpawnHooks, ChildTakesTheGivenUserOrFailsWithAMessage) {
  char dir_template[] = "/tmp/sandbox-hook.XXXXXX";
  fs::path dir = ::mkdtemp(dir_template);
  arena::SpawnRequest request;
  request.program = "/bin/sh";
  request.args = {"/bin/sh", "-c", "id -u; id -g; id -G"};
  request.pipe_output = true;
  request.error_file = dir / "err";
  request.run_as = arena::SpawnRequest::Credentials{60003, 60004};
  arena::ChildProcess child(request);
  arena::LineReader reader(child.take_output());
  std::string text = collect_output(reader, child, arena::Clock::now() + std::chrono::seconds(10));
  child.wait_exit(arena::Clock::now() + std::chrono::seconds(10));
  arena::ExitStatus status = child.reap();
  if (::geteuid() == 0) {
    EXPECT_TRUE(status.success()) << read_file(dir / "err");
    EXPECT_EQ(text, "60003\n60004\n60004\n") << "no supplementary groups may remain";
  } else {
    EXPECT_EQ(status.value, 127);
    EXPECT_NE(read_file(dir / "err").find("cannot run /bin/sh as user 60003"), std::string::npos)
        << read_file(dir / "err");
  }
  fs::remove_all(dir);
}

// --- check-sandbox --------------------------------------------------------------------------

TEST_F(Sandbox, CheckSandboxReportsWhatHoldsAndSucceeds) {
  test_support::ProgramRun check = test_support::run_program({kArena, "check-sandbox"});
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  EXPECT_NE(check.out.find("bubblewrap:       " + host_support().bwrap->string()),
            std::string::npos)
      << check.out;
  EXPECT_NE(check.out.find("sandbox start:    ok"), std::string::npos) << check.out;
  for (const char* limit :
       {"\n  memory: ", "\n  processes: ", "\n  CPU time: ", "\n  idle player: ",
        "\na sandboxed player gets:\n", "\n  network:        none",
        "\n  pipes, sockets: none; a player whose shown directories hold",
        "\n  processes:      128 (--process-limit)", "\n  while the opponent thinks: "}) {
    EXPECT_NE(check.out.find(limit), std::string::npos) << check.out;
  }
  // The memory default, once and as this machine gives it.
  const std::string memory = host_support().cgroups.memory.empty()
                                 ? "\n  memory:         none: the default of 1024 MB needs"
                                 : "\n  memory:         1024 MB of resident memory";
  EXPECT_NE(check.out.find(memory), std::string::npos) << check.out;
  EXPECT_EQ(check.out.find("memory by default"), std::string::npos) << "said once";
  if (must_drop_root()) {
    EXPECT_NE(check.out.find("players run as:   users of 60100-60999 (--user-range), one of its "
                             "own for each seat of each game"),
              std::string::npos)
        << check.out;
  }
  EXPECT_NE(check.out.find("control groups:   " + version_name(host_support().cgroups.version)),
            std::string::npos)
      << check.out;
}

TEST_F(Sandbox, CheckSandboxReportsTheFilterTheMemoryDefaultAndTheScores) {
  test_support::ProgramRun check = test_support::run_program({kArena, "check-sandbox"});
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  EXPECT_NE(check.out.find("system-call filter:\n  on (libseccomp"), std::string::npos)
      << check.out;
  for (const arena::sandbox::RefusedCall& call : arena::sandbox::refused_calls()) {
    EXPECT_NE(check.out.find(std::string(" ") + call.name), std::string::npos) << call.name;
  }
  EXPECT_NE(check.out.find("scratch areas:\n  each scratch area"), std::string::npos) << check.out;
  EXPECT_NE(check.out.find("out-of-memory scores:\n  "), std::string::npos) << check.out;
  EXPECT_NE(check.out.find("players 1000"), std::string::npos) << check.out;
}

TEST_F(Sandbox, CheckSandboxFailsWhereNoSandboxCanBeMade) {
  // Inside a sandbox no further user namespace can be made: check-sandbox must say so.
  Policy p = policy();
  p.readonly_dirs.push_back(kBin);
  Outcome result = run(p, {kArena, "check-sandbox"});
  EXPECT_EQ(result.status.value, 1) << result.out << result.err;
  EXPECT_NE(result.out.find("no sandbox can be made here: "), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("--no-sandbox"), std::string::npos) << result.out;
}

TEST_F(Sandbox, CheckSandboxAsAnOrdinaryUserNamesTheWeakLimits) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to become an ordinary user";
  // A copy that the ordinary user can run, wherever the build lies (a clone under /root).
  fs::path arena = dir_ / "zarvo-arena";
  fs::copy_file(kArena, arena);
  fs::permissions(dir_, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  arena::SpawnRequest request;
  request.program = arena;
  request.args = {arena.string(), "check-sandbox"};
  request.workdir = dir_;
  request.pipe_output = true;
  request.run_as = arena::SpawnRequest::Credentials{60009, 60009};
  arena::ChildProcess child(request);
  arena::LineReader reader(child.take_output());
  std::string text = collect_output(reader, child, arena::Clock::now() + std::chrono::seconds(30));
  child.wait_exit(arena::Clock::now() + std::chrono::seconds(30));
  EXPECT_TRUE(child.reap().success()) << text;
  EXPECT_NE(text.find("players run as:   the arena's own user"), std::string::npos) << text;
  EXPECT_NE(text.find("memory: WEAK"), std::string::npos) << text;
  EXPECT_NE(text.find("sandbox start:    ok"), std::string::npos) << text;
}

}  // namespace

// --- freezing the idle player ---------------------------------------------------------------

namespace {

// The process ids and states (the third field of /proc/PID/stat) of the children of `parent`.
std::vector<std::pair<pid_t, char>> children_of(pid_t parent) {
  std::vector<std::pair<pid_t, char>> found;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string stat = test_support::read_file(entry.path() / "stat");
    auto close = stat.rfind(')');
    if (close == std::string::npos || close + 4 >= stat.size()) continue;
    char state = stat[close + 2];
    if (std::atoi(stat.c_str() + close + 4) == parent) found.push_back({std::stoi(name), state});
  }
  return found;
}

arena::ChildProcess two_sleepers(const std::vector<int>& join_fds = {}) {
  arena::SpawnRequest request;
  request.program = "/bin/sh";
  request.args = {"sh", "-c", "sleep 1000 & sleep 1000 & wait"};
  request.join_fds = join_fds;
  return arena::ChildProcess(request);
}

}  // namespace

// Without a freezer group every process below bwrap is stopped, and continued again.
TEST(Freezing, SignalFallbackStopsAndContinuesEveryDescendant) {
  arena::ChildProcess shell = two_sleepers();
  for (int i = 0; i < 1000 && children_of(shell.pid()).size() < 2; ++i) ::usleep(1000);
  ASSERT_EQ(children_of(shell.pid()).size(), 2u);
  ASSERT_TRUE(arena::sandbox::stop_descendants(shell.pid()));
  for (auto [pid, state] : children_of(shell.pid())) EXPECT_EQ(state, 'T') << pid;
  arena::sandbox::continue_descendants(shell.pid());
  for (int i = 0; i < 1000; ++i) {
    auto sleepers = children_of(shell.pid());
    if (std::none_of(sleepers.begin(), sleepers.end(), [](auto p) { return p.second == 'T'; }))
      break;
    ::usleep(1000);
  }
  for (auto [pid, state] : children_of(shell.pid())) EXPECT_NE(state, 'T') << pid;
}

// A frozen group reports frozen, and its processes still die when the player is killed (a task
// frozen by cgroup v1 dies only once thawed).
TEST(Freezing, FrozenGroupIsKilledWholeAndRemoved) {
  const auto& host = host_support();
  if (host.cgroups.freezer.empty()) GTEST_SKIP() << "no freezer group can be made here";
  ControlGroup group(host.cgroups, {});
  ASSERT_TRUE(group.can_freeze());
  arena::ChildProcess shell = two_sleepers(group.join_fds());
  for (int i = 0; i < 1000 && children_of(shell.pid()).size() < 2; ++i) ::usleep(1000);
  EXPECT_TRUE(group.freeze());
  group.thaw();
  EXPECT_TRUE(group.freeze());
  group.kill_all();
  EXPECT_TRUE(shell.wait_exit(arena::Clock::now() + std::chrono::seconds(10)));
  shell.reap();
  std::vector<fs::path> dirs = group.directories();
  group.close();
  for (const fs::path& dir : dirs) EXPECT_FALSE(fs::exists(dir)) << dir;
}
