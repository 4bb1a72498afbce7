// Sandboxed players in real games through zarvo-arena: the cheating bot tries each of its tricks
// while playing legal moves, a JVM bot plays under a memory limit, the CPU clock and the wall
// limit hold, the system-call filter refuses what it lists while the sample bots play on, the
// default memory limit and the out-of-memory scores protect the host, a player that names no file
// of its own sees an empty directory, what a player leaves is looked at in its own directory
// alone and kept privately, and an arena that cannot make a sandbox says so instead of playing
// without one.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "arena/process/child_process.h"
#include "arena/process/line_reader.h"
#include "arena/sandbox/host_support.h"
#include "arena/sandbox/syscall_filter.h"
#include "arena/sandbox/user_leases.h"
#include "arena/system/oom_score.h"
#include "arena/system/unique_fd.h"
#include "tests/support/loopback_listener.h"
#include "tests/support/process_check.h"
#include "tests/support/test_files.h"

namespace fs = std::filesystem;
using test_support::ProgramRun;
using test_support::read_file;

namespace {

const std::string kBin = ZARVO_BIN_DIR;
const std::string kArena = kBin + "/zarvo-arena";
const std::string kCheater = CHEATING_BOT;
const std::string kHostile = HOSTILE_BOT;
const std::string kSyscallBot = SYSCALL_BOT;
const char* const kSamplePythonBot = SAMPLE_PYTHON_BOT;
const fs::path kTemp = fs::temp_directory_path();

struct Game {
  int status = -1;
  std::string description;  // "PLAYER_1:_WIN;_PLAYER_2:_LOSE"
  std::string err;          // the arena's standard error
  fs::path log;
};

// Player 1 or 2 finished the game with a result from the board (WIN, DRAW or LOSE).
bool scored(const std::string& description, int player) {
  const std::string key = "PLAYER_" + std::to_string(player) + ":_";
  auto at = description.find(key);
  if (at == std::string::npos) return false;
  std::string result = description.substr(at + key.size());
  result = result.substr(0, result.find(';'));
  return result == "WIN" || result == "DRAW" || result == "LOSE";
}

// Nobody was disqualified.
bool both_scored(const std::string& description) {
  return scored(description, 1) && scored(description, 2);
}

// The CPU time a player used, as the log's time line gives it, or -1.
int logged_used_time(const std::string& log, int player) {
  std::string label = "Player " + std::to_string(player) + " used in milliseconds:";
  auto at = log.find(label);
  int used = -1;
  if (at == std::string::npos || std::sscanf(log.c_str() + at + label.size(), " %d", &used) != 1) {
    return -1;
  }
  return used;
}

class SandboxedGame : public ::testing::Test {
 protected:
  void SetUp() override {
    if (auto problem = arena::sandbox::host_support().problem()) {
      GTEST_SKIP() << "no sandbox here: " << *problem;
    }
    test_support::adopt_orphans();
    static int counter = 0;
    marker_ = "sandboxgame_" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
    char dir_template[] = "/tmp/sandbox-game-test.XXXXXX";
    dir_ = ::mkdtemp(dir_template);
  }

  void TearDown() override {
    if (dir_.empty()) return;
    // The arena reaps every process of its sandboxes, bubblewrap's own included.
    EXPECT_EQ(test_support::adopted_children(), std::vector<pid_t>{})
        << "processes of the game came to the test";
    EXPECT_EQ(test_support::processes_with(marker_), std::vector<pid_t>{})
        << "processes of the game remain";
    EXPECT_EQ(test_support::live_children(), std::vector<pid_t>{});
    fs::remove_all(dir_);
  }

  std::string opponent() const { return kBin + "/zarvo-random --marker=" + marker_; }
  std::string cheater(const std::string& trick, const std::string& extra = "") const {
    return kCheater + " --trick=" + trick + " --marker=" + marker_ + " " + extra;
  }

  // `from`: the arena's working directory; empty: the test's.
  Game match(const std::string& player1, const std::string& player2,
             std::vector<std::string> options = {}, const fs::path& from = {}) const {
    std::vector<std::string> args = {kArena, "match", "--dir", dir_.string(), "--id", "g"};
    if (!from.empty()) args.insert(args.begin(), {"/usr/bin/env", "-C", from.string()});
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(player1);
    args.push_back(player2);
    ProgramRun run = test_support::run_program(args);
    Game game;
    game.status = run.status;
    game.err = run.err;
    std::istringstream line(run.out);
    std::string word;
    for (int i = 0; i < 6 && line >> word; ++i) {
      if (i == 5) game.description = word;
    }
    // "... DESCRIPTION winner NAME log LOG page PAGE"
    std::string winner_word, winner, log_word;
    line >> winner_word >> winner >> log_word >> word;
    game.log = word;
    return game;
  }

  // What player 1 wrote to its standard error during game `game`.
  std::string player1_errors(const Game& game) const {
    fs::path file = game.log;
    return read_file(file.replace_extension(".player1.err"));
  }

  // The trick's report line from player 1's error file.
  std::string trick_line(const Game& game) const {
    std::istringstream lines(player1_errors(game));
    for (std::string line; std::getline(lines, line);) {
      if (line.starts_with("TRICK ")) return line;
    }
    return "no TRICK line";
  }

  // A game the cheater must finish without disqualification, its trick blocked.
  void expect_blocked(const std::string& trick, const std::string& extra = "",
                      std::vector<std::string> options = {}) {
    Game game = match(cheater(trick, extra), opponent(), options);
    ASSERT_EQ(game.status, 0) << game.err;
    EXPECT_TRUE(both_scored(game.description)) << trick << ": " << game.description << game.err;
    EXPECT_TRUE(trick_line(game).starts_with("TRICK " + trick + ": blocked (")) << trick_line(game);
  }

  fs::path dir_;
  std::string marker_;
};

// --- the tricks -----------------------------------------------------------------------------

TEST_F(SandboxedGame, CheaterCannotSignalStopOpenOrTraceItsOpponent) {
  for (const char* trick : {"kill", "stop", "stdin", "ptrace"}) {
    expect_blocked(trick, "--victim=" + marker_);
  }
}

TEST_F(SandboxedGame, CheaterCannotReadTheTileScriptOrTheUsersFiles) {
  fs::path tiles = dir_ / "tiles.txt";
  test_support::write_tile_script(tiles);
  expect_blocked("tiles", "", {"--tiles", tiles.string()});
  fs::path secret = dir_ / "secret.txt";
  std::ofstream(secret) << "the opponent's source\n";
  fs::permissions(dir_, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  // Run from the temporary directory that holds the referee's directory, or from the directory
  // that gets the game's files and holds the tile script, it sees neither. The temporary
  // directory is one of the test's own, as a shared /tmp may hold other tests' pipes, which
  // rightly refuse a player shown them.
  const fs::path temporary = dir_ / "tmp";
  fs::create_directory(temporary);
  fs::permissions(temporary, fs::perms(01777));
  const char* given_tmpdir = std::getenv("TMPDIR");
  const std::string kept = given_tmpdir ? given_tmpdir : "";
  ::setenv("TMPDIR", temporary.c_str(), 1);
  expect_blocked("tiles", "", {"--tiles", tiles.string(), "--cwd1", temporary.string()});
  if (given_tmpdir) {
    ::setenv("TMPDIR", kept.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
  expect_blocked("readfile", "--path=" + tiles.string(),
                 {"--tiles", tiles.string(), "--cwd1", dir_.string()});
  fs::path earlier_log = dir_ / "refereelogs" / "earlier.log";
  std::ofstream(earlier_log) << "an earlier game\n";
  ASSERT_TRUE(fs::exists(earlier_log));
  expect_blocked("readfile", "--path=" + earlier_log.string(), {"--cwd1", dir_.string()});
  expect_blocked("readfile", "--path=" + secret.string());
  // Without a sandbox the same trick reads it: the game shows a trick that works.
  Game plain =
      match(cheater("readfile", "--path=" + secret.string()), opponent(), {"--no-sandbox"});
  EXPECT_EQ(trick_line(plain), "TRICK readfile: succeeded");
}

// As root, a bot under a home of mode 700, or in a bot directory that is itself of mode 700,
// plays sandboxed as the seat's user, and reads nothing beside its directory; a script of mode
// 700 that the seat's user cannot read is refused before the game.
TEST_F(SandboxedGame, PrivateDirectoriesPlayAsRootAndTheirNeighboursStayUnreadable) {
  if (::geteuid() != 0) GTEST_SKIP() << "private directories matter to a root arena";
  const fs::path home = dir_ / "home";
  const fs::path open_bots = home / "open";
  const fs::path private_bots = home / "private";
  fs::create_directories(open_bots);
  fs::create_directories(private_bots);
  fs::permissions(home, fs::perms::owner_all);
  fs::permissions(open_bots, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec);
  fs::permissions(private_bots, fs::perms::owner_all);
  const fs::path secret = home / "secret.txt";
  std::ofstream(secret) << "the organiser's file\n";
  fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);
  for (const fs::path& bots : {open_bots, private_bots}) {
    fs::copy_file(kCheater, bots / "cheater");
    fs::copy_file(kBin + "/zarvo-random", bots / "zarvo-random");
    const std::string cheater = (bots / "cheater").string() +
                                " --trick=readfile --marker=" + marker_ +
                                " --path=" + secret.string();
    Game game = match(cheater, (bots / "zarvo-random").string() + " --marker=" + marker_);
    ASSERT_EQ(game.status, 0) << bots << ": " << game.err;
    EXPECT_TRUE(both_scored(game.description)) << bots << ": " << game.description << game.err;
    EXPECT_TRUE(trick_line(game).starts_with("TRICK readfile: blocked (")) << trick_line(game);
    Game shadow =
        match(kCheater + " --trick=readfile --marker=" + marker_ + " --path=/etc/shadow",
              (bots / "zarvo-random").string() + " --marker=" + marker_, {"--cwd1", bots.string()});
    EXPECT_TRUE(trick_line(shadow).starts_with("TRICK readfile: blocked (")) << trick_line(shadow);
  }
  // A script nobody but its owner may read, in a directory others may read, would only crash.
  const fs::path scripts = dir_ / "scripts";
  fs::create_directories(scripts);
  fs::permissions(dir_, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  fs::copy_file(ZARVO_SOURCE_DIR "/players/zarvo_bot.py", scripts / "mybot.py");
  fs::permissions(scripts / "mybot.py", fs::perms::owner_all);
  Game refused = match("python3 " + (scripts / "mybot.py").string(), opponent());
  EXPECT_EQ(refused.status, 2) << refused.err;
  EXPECT_NE(refused.err.find("mybot.py cannot be read by user 60"), std::string::npos)
      << refused.err;
}

// Entries kept side by side in a directory every player sees (/opt) or in one shown with
// --ro-dir: a player reads neither its opponent's files nor those of another entrant of the run,
// while its own directory stays readable.
TEST_F(SandboxedGame, OtherEntrantsStayHiddenInsideSharedDirectories) {
  const fs::path opt = "/opt/zarvo-entries-" + marker_;
  std::error_code error;
  if (!fs::create_directories(opt, error)) GTEST_SKIP() << "cannot write to /opt here";
  struct Cleanup {
    fs::path dir;
    ~Cleanup() { fs::remove_all(dir); }
  } cleanup{opt};
  const fs::path srv = dir_ / "srv";
  for (const fs::path& entry : {opt / "a", opt / "b", srv / "c"}) {
    fs::create_directories(entry);
    fs::copy_file(kCheater, entry / "bot");
    std::ofstream(entry / "source.txt") << "an entrant's source\n";
  }
  fs::permissions(dir_, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  fs::permissions(srv, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  const std::string opponent = (opt / "b/bot").string() + " --marker=" + marker_;
  auto reads = [&](const fs::path& file, std::vector<std::string> options) {
    options.insert(options.end(),
                   {"--ro-dir", srv.string(), "--entrant-dir", (srv / "c").string()});
    Game game = match((opt / "a/bot").string() + " --trick=readfile --marker=" + marker_ +
                          " --path=" + file.string(),
                      opponent, options);
    EXPECT_EQ(game.status, 0) << game.err;
    EXPECT_TRUE(both_scored(game.description)) << game.description << game.err;
    return trick_line(game);
  };
  EXPECT_TRUE(reads(opt / "b/source.txt", {}).starts_with("TRICK readfile: blocked ("));
  EXPECT_TRUE(reads(srv / "c/source.txt", {}).starts_with("TRICK readfile: blocked ("));
  EXPECT_EQ(reads(opt / "a/source.txt", {}), "TRICK readfile: succeeded");
  // Its working directory elsewhere changes nothing.
  EXPECT_TRUE(reads(opt / "b/source.txt", {"--cwd1", dir_.string()})
                  .starts_with("TRICK readfile: blocked ("));
}

// A player whose command names no file of its own runs in an empty directory made for its game,
// not in the arena's working directory with the organiser's files; a script path that names
// nothing is refused before the game.
TEST_F(SandboxedGame, APlayerWithoutFilesOfItsOwnRunsInAnEmptyDirectory) {
  const fs::path arena_dir = dir_ / "organiser";
  fs::create_directories(arena_dir);
  std::ofstream(arena_dir / "secret.txt") << "the tile seed of the final\n";
  const std::string snoop = "sh -c 'pwd >&2; ls -A >&2; cat secret.txt >&2; exec " + kBin +
                            "/zarvo-random --marker=" + marker_ + "' " + marker_;
  Game game = match(snoop, opponent(), {"--ro-dir", kBin}, arena_dir);
  ASSERT_EQ(game.status, 0) << game.err;
  EXPECT_TRUE(both_scored(game.description)) << game.description << game.err;
  const std::vector<std::string> seen = test_support::lines_of(player1_errors(game));
  ASSERT_EQ(seen.size(), 2u) << player1_errors(game);
  EXPECT_TRUE(seen[0].starts_with((kTemp / "zarvo-arena.player.").string())) << seen[0];
  EXPECT_EQ(seen[1], "cat: secret.txt: No such file or directory");
  EXPECT_FALSE(fs::exists(seen[0])) << "its directory outlived the game";

  Game refused = match("python3 bots/missing.py", opponent(), {}, arena_dir);
  EXPECT_EQ(refused.status, 2) << refused.err;
  EXPECT_NE(refused.err.find("bots/missing.py: no such file"), std::string::npos) << refused.err;
}

// A bot that keeps a thread spinning gets no CPU from the moment it has answered until its next
// line: it cannot think on its opponent's time (which here sleeps 100 ms a move). With --ponder
// it can, as before.
TEST_F(SandboxedGame, IdlePlayerIsFrozenUnlessPonderIsGiven) {
  const std::string slow = kCheater + " --think-ms=100 --marker=" + marker_;
  Game frozen = match(cheater("ponder"), slow);
  ASSERT_EQ(frozen.status, 0) << frozen.err;
  EXPECT_TRUE(both_scored(frozen.description)) << frozen.description << frozen.err;
  EXPECT_TRUE(trick_line(frozen).starts_with("TRICK ponder: blocked (")) << trick_line(frozen);
  Game pondering = match(cheater("ponder"), slow, {"--ponder"});
  ASSERT_EQ(pondering.status, 0) << pondering.err;
  EXPECT_TRUE(both_scored(pondering.description)) << pondering.description << pondering.err;
  EXPECT_EQ(trick_line(pondering), "TRICK ponder: succeeded");
}

TEST_F(SandboxedGame, CheaterCannotReachTheHostsLoopback) {
  test_support::LoopbackListener listener;
  ASSERT_GT(listener.port(), 0);
  expect_blocked("connect", "--port=" + std::to_string(listener.port()));
}

TEST_F(SandboxedGame, NothingTheCheaterWritesSurvivesTheGame) {
  const fs::path own_dir = fs::path(kCheater).parent_path();
  const fs::path beside = own_dir.parent_path() / ("cheat-" + marker_);
  Game wrote = match(cheater("writeout", "--path=" + beside.string()), opponent());
  ASSERT_EQ(wrote.status, 0) << wrote.err;
  EXPECT_TRUE(both_scored(wrote.description)) << wrote.description << wrote.err;
  EXPECT_FALSE(fs::exists(beside)) << "what it wrote beside its directory reached the host";
  // Beside a directory under the temporary directory it writes into its private /tmp at best;
  // anywhere else it cannot write at all.
  auto [end, ignored] = std::mismatch(kTemp.begin(), kTemp.end(), beside.begin(), beside.end());
  if (end != kTemp.end()) {
    EXPECT_TRUE(trick_line(wrote).starts_with("TRICK writeout: blocked (")) << trick_line(wrote);
  }
  Game game = match(cheater("leftover"), opponent());
  EXPECT_TRUE(both_scored(game.description)) << game.description;
  EXPECT_EQ(trick_line(game), "TRICK leftover: succeeded") << "its own directory is writable";
  EXPECT_FALSE(fs::exists(own_dir / "cheat-leftover")) << "but what it wrote is gone";
}

// After the game the arena names, and with --keep-player-files copies, what a player wrote in
// its own working directory and nothing else: a player that swaps the directory above its own
// for a link to a host directory before it answers shows nobody that directory's files; links,
// pipes and a sparse file of 10 GB are named, never followed, opened or copied whole; the copies
// are the arena's user's alone.
TEST_F(SandboxedGame, WhatAPlayerLeftIsLookedAtInItsOwnDirectoryAndKeptPrivately) {
  const fs::path vault = dir_ / "vault";
  const std::string secret_name = "secret-" + marker_;
  const std::string secret = "the organiser's key " + marker_;
  fs::create_directories(vault / "bot");
  std::ofstream(vault / "bot" / secret_name) << secret << "\n";
  fs::permissions(vault, fs::perms::owner_all);
  const fs::path bot = dir_ / "bot";
  fs::create_directories(bot);
  const std::string above = dir_.string();
  const std::string swapper = "sh -c 'mv " + above + " " + above + ".moved && ln -s " +
                              vault.string() + " " + above + " && readlink " + above +
                              " >&2; echo mine >own.txt; ln -s /etc/passwd link; mkfifo pipe; "
                              "truncate -s 10G sparse; exec " +
                              kBin + "/zarvo-random --marker=" + marker_ + "' " + marker_;
  Game game = match(
      swapper, opponent(),
      {"--keep-player-files", "--cwd1", bot.string(), "--ro-dir", kBin, "--file-limit", "20000"});
  ASSERT_EQ(game.status, 0) << game.err;
  EXPECT_TRUE(both_scored(game.description)) << game.description << game.err;
  ASSERT_EQ(player1_errors(game), vault.string() + "\n") << "the swap did not happen";
  EXPECT_NE(game.err.find("(player 1) wrote 4 files in its working directory, which only its "
                          "sandbox saw: link (a link), own.txt (5 bytes), pipe (not a file), "
                          "sparse (10 GiB)\n"),
            std::string::npos)
      << game.err;
  EXPECT_NE(game.err.find("  left out of the copy, which keeps at most 64 MiB of a player's "
                          "files: sparse (10 GiB)\n"),
            std::string::npos)
      << game.err;

  const fs::path kept = dir_ / "refereelogs" / (game.log.stem().string() + ".player1.files");
  EXPECT_EQ(read_file(kept / "own.txt"), "mine\n");
  std::vector<std::string> copied;
  for (const auto& entry : fs::recursive_directory_iterator(kept)) {
    copied.push_back(entry.path().filename().string());
    struct stat info {};
    ASSERT_EQ(::lstat(entry.path().c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, ::geteuid()) << entry.path();
    EXPECT_EQ(info.st_mode & 07777, S_ISDIR(info.st_mode) ? 0700u : 0600u) << entry.path();
  }
  EXPECT_EQ(copied, std::vector<std::string>{"own.txt"});
  EXPECT_EQ(fs::status(kept).permissions(), fs::perms::owner_all);

  // Neither the secret's name nor its content reached the game's files or the arena's notes.
  EXPECT_EQ(game.err.find(secret_name), std::string::npos) << game.err;
  for (const auto& entry : fs::recursive_directory_iterator(dir_ / "refereelogs")) {
    EXPECT_EQ(entry.path().string().find(secret_name), std::string::npos) << entry.path();
    if (!entry.is_regular_file()) continue;
    EXPECT_EQ(read_file(entry.path()).find(secret), std::string::npos) << entry.path();
  }
  // Without copies, the note names what the player wrote, and nothing of the host.
  Game named = match(swapper, opponent(), {"--cwd1", bot.string(), "--ro-dir", kBin});
  EXPECT_NE(named.err.find("own.txt (5 bytes)"), std::string::npos) << named.err;
  EXPECT_EQ(named.err.find(secret_name), std::string::npos) << named.err;
}

TEST_F(SandboxedGame, ManyProcessesAndAForkBombAreContainedAndTheGameCompletes) {
  expect_blocked("procs");
  expect_blocked("forkbomb");
}

TEST_F(SandboxedGame, MemoryBombCrashesWithTheMemoryLimitNamed) {
  Game game = match(cheater("memory"), opponent(), {"--memory-limit", "64"});
  ASSERT_EQ(game.status, 0) << game.err;
  EXPECT_TRUE(scored(game.description, 2)) << "the opponent is not disqualified";
  if (arena::sandbox::host_support().cgroups.memory.empty()) {
    GTEST_SKIP() << "no memory control group: the address-space limit refused the allocation, "
                    "and the bomb played on ("
                 << game.description << ")";
  }
  EXPECT_TRUE(game.description.starts_with("PLAYER_1:_CRASH;_PLAYER_2:_")) << game.description;
  EXPECT_NE(game.err.find("the memory limit killed it"), std::string::npos) << game.err;
  EXPECT_NE(player1_errors(game).find("zarvo-arena: the memory limit of 64 MB killed this player"),
            std::string::npos)
      << player1_errors(game);
}

// --- real bots and the clocks ---------------------------------------------------------------

TEST_F(SandboxedGame, JavaBotPlaysUnderAResidentMemoryLimit) {
  if (!fs::exists(kBin + "/RandomBot") || !fs::exists(kBin + "/RandomBot.class")) {
    GTEST_SKIP() << "RandomBot was not built (no javac or no java-launcher)";
  }
  if (arena::sandbox::host_support().cgroups.memory.empty()) {
    GTEST_SKIP() << "no memory control group: without one the memory limit caps each process's "
                    "address space, which a JVM needs far more of than its heap";
  }
  // Its JVM reserves a 2000 MB heap: an address-space limit this size would not let it start.
  Game game = match(kBin + "/RandomBot --marker=" + marker_, opponent(),
                    {"--memory-limit", "2600", "--time-limit", "30"});
  ASSERT_EQ(game.status, 0) << game.err;
  EXPECT_TRUE(both_scored(game.description)) << game.description << game.err;
}

TEST_F(SandboxedGame, CpuClockCountsTheWholeTreeAndTheWallLimitStillHolds) {
  // A bot that spins is out of CPU time, one that sleeps runs into the wall limit.
  Game busy = match(kHostile + " --mode=busy --at=2 --marker=" + marker_, opponent(),
                    {"--clock", "cpu", "--time-limit", "300ms"});
  ASSERT_EQ(busy.status, 0) << busy.err;
  EXPECT_TRUE(busy.description.starts_with("PLAYER_1:_TIMEOUT")) << busy.description;
  EXPECT_GE(logged_used_time(read_file(busy.log), 1), 300) << read_file(busy.log);

  Game sleepy = match(kHostile + " --mode=hang --at=2 --marker=" + marker_, opponent(),
                      {"--clock", "cpu", "--time-limit", "30", "--wall-limit", "500ms"});
  ASSERT_EQ(sleepy.status, 0) << sleepy.err;
  EXPECT_TRUE(sleepy.description.starts_with("PLAYER_1:_TIMEOUT")) << sleepy.description;
}

TEST_F(SandboxedGame, EnvironmentReachesThePlayerOnlyThroughEnv) {
  fs::path script = dir_ / "envbot.sh";
  std::ofstream(script) << "#!/bin/sh\nenv >&2\nexec " << kBin << "/zarvo-random\n";
  fs::permissions(script, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec,
                  fs::perm_options::add);
  fs::permissions(dir_, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  ::setenv("SANDBOX_GAME_LEAK", "1", 1);
  Game game = match(script.string() + " " + marker_, opponent(),
                    {"--env", "BOT_LEVEL=3", "--ro-dir", kBin});
  ::unsetenv("SANDBOX_GAME_LEAK");
  ASSERT_EQ(game.status, 0) << game.err;
  EXPECT_TRUE(both_scored(game.description)) << game.description << player1_errors(game);
  std::string env = player1_errors(game);
  EXPECT_NE(env.find("BOT_LEVEL=3\n"), std::string::npos) << env;
  EXPECT_EQ(env.find("SANDBOX_GAME_LEAK"), std::string::npos) << env;
}

// --- nothing shared between sandboxes ----------------------------------------------------------

// Games played at once by `zarvo-arena match` processes of their own, each `games[i]` its
// options and players; their exit statuses and standard errors, in order.
std::vector<ProgramRun> at_once(const fs::path& dir,
                                const std::vector<std::vector<std::string>>& games) {
  std::string script;
  for (std::size_t i = 0; i < games.size(); ++i) {
    script += "{ '" + kArena + "' match --dir '" + dir.string() + "' --id g" + std::to_string(i);
    for (const std::string& word : games[i]) script += " '" + word + "'";
    script += " >/dev/null 2>'" + (dir / ("arena" + std::to_string(i) + ".err")).string() +
              "'; echo $? >'" + (dir / ("arena" + std::to_string(i) + ".status")).string() +
              "'; } &\n";
  }
  script += "wait\n";
  test_support::run_program({"/bin/sh", "-c", script});
  std::vector<ProgramRun> runs(games.size());
  for (std::size_t i = 0; i < games.size(); ++i) {
    std::string status = read_file(dir / ("arena" + std::to_string(i) + ".status"));
    runs[i].status = status.empty() ? -1 : std::stoi(status);
    runs[i].err = read_file(dir / ("arena" + std::to_string(i) + ".err"));
  }
  return runs;
}

class SandboxUsers : public SandboxedGame {
 protected:
  void SetUp() override {
    SandboxedGame::SetUp();
    if (IsSkipped()) return;
    if (!arena::sandbox::must_drop_root()) GTEST_SKIP() << "players get users of their own as root";
    // A player that says which user it runs as, then plays after a second, so that the
    // games overlap.
    uid_bot_ = dir_ / "uidbot.sh";
    std::ofstream(uid_bot_) << "#!/bin/sh\nid -u >&2\ndate +%s%N >&2\nsleep 1\nexec " << kBin
                            << "/zarvo-random\n";
    fs::permissions(uid_bot_,
                    fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(dir_, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  }

  std::vector<std::string> game(const std::string& range) const {
    return {"--user-range",    range,
            "--ro-dir",        kBin,
            "--name1",         "one",
            "--name2",         "two",
            uid_bot_.string(), uid_bot_.string()};
  }

  // What each player of game `id` said first: the uid it runs as, then when it started (ns).
  std::vector<std::vector<std::string>> said(const std::string& id) const {
    std::vector<std::vector<std::string>> lines;
    for (int seat : {1, 2}) {
      lines.push_back(test_support::lines_of(read_file(
          dir_ / "refereelogs" / ("one-two." + id + ".player" + std::to_string(seat) + ".err"))));
      lines.back().resize(2);
    }
    return lines;
  }
  std::vector<std::string> uids(const std::string& id) const {
    return {said(id)[0][0], said(id)[1][0]};
  }
  // When the first player of game `id` started, in ms.
  long long started_ms(const std::string& id) const {
    long long first = -1;
    for (const auto& lines : said(id)) {
      long long at = lines[1].empty() ? -1 : std::stoll(lines[1]) / 1000000;
      if (first < 0 || (at >= 0 && at < first)) first = at;
    }
    return first;
  }

  fs::path uid_bot_;
};

TEST_F(SandboxUsers, PlayersOfGamesAtOnceRunAsDistinctUsersOfTheGivenRange) {
  std::vector<ProgramRun> runs = at_once(dir_, {game("60990-60993"), game("60990-60993")});
  std::set<std::string> seen;
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(runs[i].status, 0) << runs[i].err;
    for (const std::string& uid : uids("g" + std::to_string(i))) {
      EXPECT_TRUE(uid >= "60990" && uid <= "60993") << uid;
      seen.insert(uid);
    }
  }
  EXPECT_EQ(seen.size(), 4u) << "a user served two sandboxes at once";
}

TEST_F(SandboxUsers, AnExhaustedRangeIsWaitedForOrRefusedNeverShared) {
  // One user cannot hold the two seats of either game: both are refused before any player runs.
  std::vector<ProgramRun> refused = at_once(dir_, {game("60998-60998"), game("60998-60998")});
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(refused[i].status, 2) << refused[i].err;
    EXPECT_NE(refused[i].err.find("the user range 60998-60998 holds 1 user in neither"),
              std::string::npos)
        << refused[i].err;
    EXPECT_FALSE(fs::exists(dir_ / "refereelogs" / ("one-two.g" + std::to_string(i) + ".log")));
  }
  // Two users for two games: the second waits for the first one's users, whose players sleep a
  // second before they play, and both games are played.
  std::vector<ProgramRun> waited = at_once(dir_, {game("60996-60997"), game("60996-60997")});
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(waited[i].status, 0) << waited[i].err;
    std::vector<std::string> users = uids("g" + std::to_string(i));
    EXPECT_EQ(std::set<std::string>(users.begin(), users.end()),
              (std::set<std::string>{"60996", "60997"}));
  }
  EXPECT_GE(std::abs(started_ms("g0") - started_ms("g1")), 950) << "the games overlapped";
  EXPECT_EQ(
      test_support::run_program({kArena, "match", "--user-range", "60003-60010", "a", "b"}).status,
      2)
      << "the build's user, who owns the entries' files, is no player's";
}

// A named pipe or a socket in what a player is shown would connect the sandboxes of every game
// that shows it (an entrant's two games at once, say): the player is refused, the file named.
TEST_F(SandboxedGame, APipeOrSocketInAShownDirectoryRefusesThePlayer) {
  const fs::path entry = dir_ / "entry";
  fs::create_directories(entry / "data");
  fs::copy_file(kBin + "/zarvo-random", entry / "bot");
  fs::permissions(dir_, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  fs::permissions(entry, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  const std::string bot = (entry / "bot").string() + " --marker=" + marker_;
  ASSERT_EQ(::mkfifo((entry / "data/chan").c_str(), 0666), 0);
  Game fifo = match(bot, opponent());
  EXPECT_EQ(fifo.status, 2) << fifo.err;
  EXPECT_NE(fifo.err.find("player 1: no sandbox can be made for it: " +
                          (entry / "data/chan").string() + " is a named pipe"),
            std::string::npos)
      << fifo.err;
  fs::remove(entry / "data/chan");
  const fs::path shared = dir_ / "shared";
  fs::create_directories(shared);
  arena::UniqueFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", (shared / "sock").c_str());
  ASSERT_EQ(::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  Game socket = match(bot, opponent(), {"--ro-dir", shared.string()});
  EXPECT_EQ(socket.status, 2) << socket.err;
  EXPECT_NE(socket.err.find((shared / "sock").string() + " is a socket"), std::string::npos)
      << socket.err;
  // Without either the same players play.
  Game clean = match(bot, opponent());
  EXPECT_EQ(clean.status, 0) << clean.err;
}

// --- the system-call filter, the default memory limit, out-of-memory scores ------------------

// The "SYSCALL name: outcome" lines of the syscall bot's error file, by name.
std::map<std::string, std::string> syscall_outcomes(const std::string& errors) {
  std::map<std::string, std::string> outcomes;
  std::istringstream lines(errors);
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with("SYSCALL ")) continue;
    auto colon = line.rfind(": ");
    outcomes[line.substr(8, colon - 8)] = line.substr(colon + 2);
  }
  return outcomes;
}

TEST_F(SandboxedGame, EveryRefusedCallAnswersEpermAndTheBotPlaysOn) {
  Game game = match(kSyscallBot + " --marker=" + marker_, opponent());
  ASSERT_EQ(game.status, 0) << game.err;
  EXPECT_TRUE(both_scored(game.description)) << game.description << game.err;
  const std::string errors = player1_errors(game);
  ASSERT_NE(errors.find("SYSCALLS done"), std::string::npos) << errors;
  auto outcomes = syscall_outcomes(errors);
  for (const arena::sandbox::RefusedCall& call : arena::sandbox::refused_calls()) {
    EXPECT_EQ(outcomes[call.name], "EPERM") << call.name << " (" << call.why << ")";
  }
  EXPECT_EQ(outcomes["personality(PER_LINUX32)"], "EPERM");
  EXPECT_EQ(outcomes["clone(CLONE_NEWUTS)"], "EPERM");
  EXPECT_EQ(outcomes["ioctl(TIOCSTI)"], "EPERM");
  EXPECT_EQ(outcomes["x32 getpid"], "EPERM");
  // A kernel without the i386 ABI ends the caller before the filter is asked.
  EXPECT_TRUE(outcomes["i386 getpid"] == "EPERM" ||
              outcomes["i386 getpid"].starts_with("not offered"))
      << outcomes["i386 getpid"];
  // What programs need still works: the C library falls back from clone3 to clone.
  EXPECT_EQ(outcomes["clone3"], "ENOSYS");
  EXPECT_EQ(outcomes["personality(PER_LINUX)"], "ok");
  EXPECT_EQ(outcomes["thread"], "ok");
  EXPECT_EQ(outcomes["posix_spawn"], "ok");

  // Without the filter the same calls reach the kernel, which answers otherwise.
  Game unfiltered =
      match(kSyscallBot + " --marker=" + marker_, opponent(), {"--no-syscall-filter"});
  ASSERT_EQ(unfiltered.status, 0) << unfiltered.err;
  EXPECT_TRUE(both_scored(unfiltered.description)) << unfiltered.description;
  auto plain = syscall_outcomes(player1_errors(unfiltered));
  EXPECT_EQ(plain["unshare"], "ok");
  EXPECT_EQ(plain["personality(PER_LINUX32)"], "ok");
  EXPECT_EQ(plain["ioctl(TIOCSTI)"], "ENOTTY");
  EXPECT_NE(plain["x32 getpid"], "EPERM");
}

TEST_F(SandboxedGame, SampleBotsPlayUnderTheFilterAndTheDefaultLimits) {
  // C++ against Python, then Java against Python, with every default.
  Game native = match(kBin + "/zarvo-greedy --marker=" + marker_,
                      "python3 " + std::string(kSamplePythonBot) + " --marker=" + marker_);
  ASSERT_EQ(native.status, 0) << native.err;
  EXPECT_TRUE(both_scored(native.description)) << native.description << native.err;
  // The default limit holds where a memory control group does; elsewhere the arena says so.
  const bool memory_group = !arena::sandbox::host_support().cgroups.memory.empty();
  EXPECT_EQ(native.err.find("warning: no memory limit") == std::string::npos, memory_group)
      << native.err;
  // --quiet says the same in one line, and only where there is something to say; tried as an
  // ordinary user too (when the test runs as root), who often gets weaker limits.
  std::vector<std::string> as_user;
  if (::getuid() == 0)
    as_user = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  char out_template[] = "/tmp/quiet-game-test.XXXXXX";
  const fs::path out = ::mkdtemp(out_template);
  fs::permissions(out, fs::perms::all);
  auto run = [&](std::vector<std::string> options) {
    std::vector<std::string> args = as_user;
    args.insert(args.end(), {kArena, "match", "--dir", out.string()});
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {kBin + "/zarvo-greedy", kBin + "/zarvo-random"});
    return test_support::run_program(args);
  };
  const ProgramRun loud = run({}), quiet = run({"--quiet"});
  ASSERT_EQ(loud.status, 0) << loud.err;
  ASSERT_EQ(quiet.status, 0) << quiet.err;
  EXPECT_EQ(quiet.err.find("warning:"), std::string::npos) << quiet.err;
  const auto limited = quiet.err.find("zarvo-arena match: sandbox: limited here (");
  EXPECT_EQ(limited == std::string::npos, loud.err.find("warning:") == std::string::npos)
      << loud.err << quiet.err;
  if (limited != std::string::npos) {
    const std::string line = quiet.err.substr(limited, quiet.err.find('\n', limited) - limited);
    EXPECT_TRUE(line.ends_with("); see zarvo-arena check-sandbox")) << line;
    EXPECT_EQ(line.find("no memory limit") == std::string::npos,
              loud.err.find("warning: no memory limit") == std::string::npos)
        << line;
  }
  fs::remove_all(out);
  if (!fs::exists(kBin + "/RandomBot") || !fs::exists(kBin + "/RandomBot.class")) {
    GTEST_SKIP() << "RandomBot was not built (no javac or no java-launcher)";
  }
  Game java = match(kBin + "/RandomBot --marker=" + marker_,
                    "python3 " + std::string(kSamplePythonBot) + " --marker=" + marker_,
                    {"--time-limit", "30"});
  ASSERT_EQ(java.status, 0) << java.err;
  EXPECT_TRUE(both_scored(java.description)) << java.description << java.err;
  // Without a sandbox no default limit holds: an address-space limit would stop the JVM.
  Game plain = match(kBin + "/RandomBot --marker=" + marker_, opponent(),
                     {"--no-sandbox", "--time-limit", "30"});
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_TRUE(both_scored(plain.description)) << plain.description << plain.err;
}

TEST_F(SandboxedGame, TheDefaultMemoryLimitStopsAHogAndCountsTheScratchAreas) {
  if (arena::sandbox::host_support().cgroups.memory.empty()) {
    GTEST_SKIP() << "no memory control group: no memory limit by default here";
  }
  // No --memory-limit: the default stops a player that takes all it can.
  // Touching a gigabyte takes long on a busy machine: the time limit must not end it first.
  Game hog = match(cheater("hog"), opponent(), {"--time-limit", "120"});
  ASSERT_EQ(hog.status, 0) << hog.err;
  EXPECT_TRUE(hog.description.starts_with("PLAYER_1:_CRASH;_PLAYER_2:_")) << hog.description;
  EXPECT_TRUE(scored(hog.description, 2)) << hog.description;
  EXPECT_NE(player1_errors(hog).find("zarvo-arena: the memory limit of " +
                                     std::to_string(arena::sandbox::kDefaultMemoryLimitMb) +
                                     " MB killed this player"),
            std::string::npos)
      << player1_errors(hog);
  // 48 MiB in /tmp and 48 MiB of heap pass 64 MB only when the files count as memory.
  Game filler = match(cheater("tmpfs"), opponent(), {"--memory-limit", "64"});
  ASSERT_EQ(filler.status, 0) << filler.err;
  EXPECT_TRUE(filler.description.starts_with("PLAYER_1:_CRASH;_PLAYER_2:_"))
      << filler.description << trick_line(filler);
  EXPECT_NE(filler.err.find("the memory limit killed it"), std::string::npos) << filler.err;
  // --memory-limit 0: none, and the same bot keeps its 48 + 48 MiB.
  Game free = match(cheater("tmpfs"), opponent(), {"--memory-limit", "0"});
  ASSERT_EQ(free.status, 0) << free.err;
  EXPECT_TRUE(both_scored(free.description)) << free.description;
  EXPECT_EQ(trick_line(free), "TRICK tmpfs: succeeded");
}

TEST_F(SandboxedGame, PlayersAreTheFirstTheKernelEndsWhenMemoryRunsOut) {
  // A player and a referee that report their own out-of-memory scores, then play.
  fs::path player = dir_ / "oombot.sh";
  std::ofstream(player) << "#!/bin/sh\necho \"player oom $(cat /proc/self/oom_score_adj)\" >&2\n"
                        << "exec " << kBin << "/zarvo-random\n";
  fs::path referee = dir_ / "oomreferee.sh";
  std::ofstream(referee) << "#!/bin/sh\necho \"referee oom $(cat /proc/self/oom_score_adj)\" >&2\n"
                         << "exec " << kBin << "/zarvo-checker \"$@\"\n";
  for (const fs::path& script : {player, referee}) {
    fs::permissions(script, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::add);
  }
  fs::permissions(dir_, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  Game game = match(player.string() + " " + marker_, opponent(),
                    {"--referee", referee.string(), "--ro-dir", kBin});
  ASSERT_EQ(game.status, 0) << game.err;
  EXPECT_TRUE(both_scored(game.description)) << game.description << game.err;
  EXPECT_NE(player1_errors(game).find("player oom 1000\n"), std::string::npos)
      << player1_errors(game);
  fs::path referee_err = game.log;
  std::string said = read_file(referee_err.replace_extension(".referee.err"));
  // Lowering a score needs root with CAP_SYS_RESOURCE; a root in a container may lack it.
  const int own = arena::own_oom_score_adj();
  if (!arena::set_own_oom_score_adj(own - 1)) {
    GTEST_SKIP() << "this process may not lower its out-of-memory score, nor may the arena ("
                 << said << ")";
  }
  arena::set_own_oom_score_adj(own);
  EXPECT_NE(said.find("referee oom -900\n"), std::string::npos) << said;
}

// --- no sandbox to be had -------------------------------------------------------------------

TEST_F(SandboxedGame, ArenaThatCannotMakeASandboxStopsAndNamesTheWayOut) {
  // Inside a sandbox no further user namespace can be made, so the arena cannot sandbox its
  // players there; it must say so and not play, unless told --no-sandbox.
  fs::permissions(dir_, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  arena::sandbox::Policy policy;
  policy.workdir = dir_ / "outer";
  fs::create_directory(policy.workdir);
  policy.readonly_dirs = {kBin};
  std::vector<arena::sandbox::UserLease> user;
  if (arena::sandbox::must_drop_root()) {
    user = arena::sandbox::lease_users({}, 1, arena::Clock::now());
    policy.identity = user.front().identity();
  }
  auto run_inside = [&](std::vector<std::string> extra) {
    arena::SpawnRequest request;
    request.program = kArena;
    request.args = {kArena, "match", "--dir", "/tmp/out"};
    request.args.insert(request.args.end(), extra.begin(), extra.end());
    request.args.insert(request.args.end(), {kBin + "/zarvo-random", kBin + "/zarvo-greedy"});
    request.pipe_output = true;
    request.error_file = dir_ / "inner.err";
    request.sandbox = policy;
    arena::ChildProcess child(request);
    arena::LineReader reader(child.take_output());
    std::string line, out;
    auto deadline = arena::Clock::now() + std::chrono::seconds(60);
    while (reader.read_line(line, deadline, child.exit_fd()) == arena::ReadStatus::kLine) {
      out += line + "\n";
    }
    child.wait_exit(deadline);
    child.kill_group();
    arena::ExitStatus status = child.reap();
    // Here the test is the arena: what bwrap leaves to the reaper of orphans comes to it.
    test_support::adopted_children();
    return std::pair{status, out};
  };
  auto [refused, nothing] = run_inside({});
  EXPECT_EQ(refused.value, 2) << nothing;
  std::string err = read_file(dir_ / "inner.err");
  EXPECT_NE(err.find("player 1: its sandbox could not be made: bwrap: "), std::string::npos) << err;
  EXPECT_NE(err.find("--no-sandbox"), std::string::npos) << err;

  auto [played, result] = run_inside({"--no-sandbox"});
  EXPECT_TRUE(played.success()) << read_file(dir_ / "inner.err");
  EXPECT_NE(result.find("zarvo_random vs zarvo_greedy: "), std::string::npos) << result;
}

TEST_F(SandboxedGame, TournamentHandsTheSandboxOptionsToItsGames) {
  ProgramRun run = test_support::run_program({kArena,         "tournament",
                                              "--dir",        (dir_ / "t").string(),
                                              "--player",     opponent(),
                                              "--player",     kBin + "/zarvo-greedy",
                                              "--no-sandbox", "--env",
                                              "LEVEL=2",      "--ro-dir",
                                              kBin,           "--clock",
                                              "cpu",          "--process-limit",
                                              "64",           "--no-syscall-filter",
                                              "--emit-jobs",  (dir_ / "jobs.txt").string()});
  ASSERT_EQ(run.status, 0) << run.err;
  std::string jobs = read_file(dir_ / "jobs.txt");
  for (const std::string& option :
       {std::string("--no-sandbox --env LEVEL=2 --ro-dir ") + kBin, std::string("--clock cpu"),
        std::string("--process-limit 64"), std::string("--no-syscall-filter")}) {
    EXPECT_NE(jobs.find(option), std::string::npos) << option << "\n" << jobs;
  }
  EXPECT_EQ(test_support::run_program({kArena, "match", "--no-sandbox=yes", "a", "b"}).status, 2);
  EXPECT_EQ(test_support::run_program({kArena, "match", "--env", "1X=2", "a", "b"}).status, 2);
  EXPECT_EQ(test_support::run_program({kArena, "match", "--clock", "sun", "a", "b"}).status, 2);
}

}  // namespace
