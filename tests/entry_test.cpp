// Entrants' sources built by `zarvo-arena build` and players checked by `zarvo-arena check`,
// through the real programs: entries in C, C++, Java and Python built in their sandboxes and
// played in a tournament, entries in JavaScript, Rust and Go built and played; dependencies that
// a build without network cannot fetch refused; what build --ro-dir and --env show; a compile error
// reported and left out; builds that try the network, write outside their entry or loop fail at it;
// each kind of failing player gets its reason, a tournament does not start while one fails, and its
// check hides the other entrants.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "arena/sandbox/host_support.h"
#include "arena/sandbox/sandbox_policy.h"
#include "tests/support/entry_dirs.h"
#include "tests/support/process_check.h"
#include "tests/support/test_files.h"

namespace fs = std::filesystem;
using test_support::line_for;
using test_support::ProgramRun;
using test_support::read_file;
using test_support::run_program;
using test_support::write_file;

namespace {

const std::string kBin = ZARVO_BIN_DIR;
const std::string kArena = kBin + "/zarvo-arena";
const fs::path kSource = ZARVO_SOURCE_DIR;

// What of `dir` (itself included, links not followed) a local user could use after a build:
// a setuid or setgid file, a FIFO, socket or device, something writable by group or others, or
// something owned by the build's user; one line each.
std::string usable_leftovers(const fs::path& dir) {
  const uid_t build_user = arena::sandbox::build_identity().uid;
  std::string found;
  auto judge = [&](const fs::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return;
    if (st.st_uid == build_user) found += path.string() + ": owned by the build user\n";
    if (S_ISLNK(st.st_mode)) return;
    if (st.st_mode & (S_ISUID | S_ISGID)) found += path.string() + ": setuid or setgid\n";
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) found += path.string() + ": special\n";
    if (st.st_mode & 022) found += path.string() + ": writable by others\n";
  };
  judge(dir);
  for (const auto& entry : fs::recursive_directory_iterator(dir)) judge(entry.path());
  return found;
}

// `dir` and all below it made unwritable for group and others, whatever the umask made them:
// what a build leaves is judged against sources that are so.
void close_to_others(const fs::path& dir) {
  const auto others = fs::perms::group_write | fs::perms::others_write;
  fs::permissions(dir, others, fs::perm_options::remove);
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    fs::permissions(entry.path(), others, fs::perm_options::remove);
  }
}

// The command line a built entry's record names, its "./" words made paths of the entry.
std::string entry_command_line(const fs::path& entry) {
  std::string command;
  for (const std::string& line : test_support::lines_of(read_file(entry / "zarvo-entry.txt"))) {
    if (line.starts_with("command ")) command = line.substr(8);
  }
  for (std::size_t at = 0; (at = command.find("./", at)) != std::string::npos;) {
    command.replace(at, 2, entry.string() + "/");
  }
  return command;
}

// True when `program` is there; else the test is skipped naming the Debian package to install
// (scripts/install-deps.sh installs it).
bool toolchain(const std::string& program, const std::string& package) {
  if (::access(program.c_str(), X_OK) == 0) return true;
  std::cout << "[  SKIPPED ] no " << program << ": install Debian's " << package << "\n";
  return false;
}

class Entries : public test_support::EntryDirTest {
 protected:
  // A player script in a directory of its own, readable by the seats' users.
  std::string script(const std::string& name, const std::string& body,
                     fs::perms mode = fs::perms(0755)) {
    fs::path file = root_ / "players" / name / (name + ".sh");
    write_file(file, "#!/bin/sh\n" + body, mode);
    fs::permissions(file.parent_path(), fs::perms(0755));
    fs::permissions(file.parent_path().parent_path(), fs::perms(0755));
    return file.string();
  }
};

TEST_F(Entries, AreBuiltInEveryLanguageAndPlayedInATournamentWithoutTheOneThatFailed) {
  fs::path entries = root_ / "entries";
  fs::create_directories(entries);
  fs::copy(kSource / "tests/entries/c", entries / "c");
  fs::copy(kSource / "tests/entries/cpp", entries / "cpp");
  fs::create_directories(entries / "py");
  fs::copy_file(kSource / "players/zarvo_bot.py", entries / "py" / "main.py");
  const bool java = ::access("/usr/bin/javac", X_OK) == 0 && fs::exists(kBin + "/java-launcher");
  if (java) {
    fs::create_directories(entries / "java");
    fs::copy_file(kSource / "players/RandomBot.java", entries / "java" / "RandomBot.java");
  }
  write_file(entries / "broken" / "bot.c", "int main( { return 0; }\n");

  ProgramRun build =
      run_program({kArena, "build", (entries / "c").string(), (entries / "cpp").string(),
                   (entries / "py").string(), (entries / "broken").string()});
  EXPECT_EQ(build.status, 1) << build.out << build.err;
  EXPECT_NE(build.out.find("gcc -std=c17 -O2"), std::string::npos) << "flags are printed";
  for (const std::string name : {"/c ", "/cpp ", "/py "}) {
    EXPECT_NE(line_for(build.out, "ok", name), "") << name << "\n" << build.out;
  }
  EXPECT_NE(line_for(build.out, "FAILED", "/broken"), "") << build.out;
  EXPECT_NE(build.out.find("error: expected"), std::string::npos) << "the compiler's message\n"
                                                                  << build.out;
  EXPECT_NE(read_file(entries / "broken/zarvo-entry.txt").find("result failed"), std::string::npos);
  EXPECT_NE(read_file(entries / "broken/zarvo-build.log").find("error:"), std::string::npos);
  EXPECT_NE(read_file(entries / "c/zarvo-entry.txt").find("result ok"), std::string::npos);
  EXPECT_NE(read_file(entries / "py/zarvo-entry.txt").find("recipe python"), std::string::npos);
  if (java) {
    ProgramRun java_build = run_program({kArena, "build", (entries / "java").string()});
    ASSERT_EQ(java_build.status, 0) << java_build.out;
    EXPECT_TRUE(fs::exists(entries / "java" / "RandomBot")) << "the launcher, named after main";
  }

  ProgramRun tournament =
      run_program({kArena, "tournament", "--dir", (root_ / "t").string(), "--entries",
                   entries.string(), "--seed", "1", "--time-limit", "10", "--concurrency", "2"});
  ASSERT_EQ(tournament.status, 0) << tournament.out << tournament.err;
  EXPECT_NE(tournament.err.find("left out: " + (entries / "broken").string()), std::string::npos)
      << tournament.err;
  const std::string games = java ? "12 of 12 games finished" : "6 of 6 games finished";
  EXPECT_NE(tournament.out.find(games), std::string::npos) << tournament.out;
  std::string standings = read_file(root_ / "t" / "standings.txt");
  for (const std::string name : {" c ", " cpp ", " py "}) {
    EXPECT_NE(standings.find(name), std::string::npos) << name << standings;
  }
  // It played no game, and is listed below the tables as not built, with the build's result.
  const auto not_built =
      standings.find("\nNot built, so left out of the games:\n  broken: failed: ");
  EXPECT_NE(not_built, std::string::npos) << standings;
  EXPECT_EQ(standings.find("broken"), not_built + 40) << standings;

  // An entry whose build failed, given by its directory, is refused with the reason.
  ProgramRun failed =
      run_program({kArena, "tournament", "--dir", (root_ / "t2").string(), "--player",
                   (entries / "broken").string(), "--player", (entries / "c").string()});
  EXPECT_EQ(failed.status, 2) << failed.out << failed.err;
  EXPECT_NE(failed.err.find("the build of " + (entries / "broken").string() + " failed"),
            std::string::npos)
      << failed.err;

  // One entry by its directory, as any player is given.
  ProgramRun one = run_program({kArena, "check", (entries / "cpp").string()});
  EXPECT_EQ(one.status, 0) << one.out << one.err;
  EXPECT_NE(line_for(one.out, "ok", "cpp  first answer"), "") << one.out;
}

TEST_F(Entries, ABuildThatReachesOutOrLoopsFailsAtIt) {
  fs::path entries = root_ / "entries";
  write_file(entries / "victim" / "bot.c", "int main(void) { return 0; }\n");
  write_file(entries / "network" / "build.sh",
             "python3 -c 'import socket; socket.create_connection((\"1.1.1.1\", 53), timeout=5)'\n"
             "cp /bin/true bot\n");
  write_file(entries / "system" / "build.sh",
             "echo owned > /etc/zarvo-entry-test\ncp /bin/true bot\n");
  write_file(entries / "sibling" / "build.sh", "echo owned > ../victim/bot.c\ncp /bin/true bot\n");
  write_file(entries / "loop" / "build.sh", "while :; do :; done\n");
  write_file(entries / "fine" / "build.sh", "printf 'made' > bot\nchmod 755 bot\n");

  ProgramRun build =
      run_program({kArena, "build", "--time-limit", "3", (entries / "network").string(),
                   (entries / "system").string(), (entries / "sibling").string(),
                   (entries / "loop").string(), (entries / "fine").string()});
  EXPECT_EQ(build.status, 1) << build.out << build.err;
  EXPECT_NE(line_for(build.out, "FAILED", "/network"), "") << build.out;
  EXPECT_NE(build.out.find("Network is unreachable"), std::string::npos) << build.out;
  EXPECT_NE(line_for(build.out, "FAILED", "/system"), "") << build.out;
  EXPECT_NE(build.out.find("Read-only file system"), std::string::npos) << build.out;
  EXPECT_FALSE(fs::exists("/etc/zarvo-entry-test"));
  EXPECT_NE(line_for(build.out, "FAILED", "/sibling"), "") << build.out;
  EXPECT_EQ(read_file(entries / "victim" / "bot.c"), "int main(void) { return 0; }\n");
  EXPECT_NE(line_for(build.out, "FAILED", "/loop").find("stopped by the time limit of 3 s"),
            std::string::npos)
      << build.out;
  EXPECT_NE(line_for(build.out, "ok", "/fine"), "") << build.out;
  // What the build made stays in its entry.
  EXPECT_EQ(read_file(entries / "fine" / "bot"), "made");

  // A directory that cannot be one entrant's is refused before anything is changed in it.
  ProgramRun slip = run_program({kArena, "build", "/"});
  EXPECT_EQ(slip.status, 1) << slip.out;
  EXPECT_NE(line_for(slip.out, "FAILED", "/  none").find("refused"), std::string::npos) << slip.out;
  EXPECT_FALSE(fs::exists("/zarvo-entry.txt"));
}

TEST_F(Entries, CheckGivesEachFailingPlayerItsReason) {
  const std::string crash = script("crash", "echo 'cannot load my weights' >&2\nexit 3\n");
  const std::string silent = script("silent", "exec sleep 30\n");
  const std::string illegal =
      script("illegal",
             "while read line; do case \"$line\" in [1-6][1-6][1-6][1-6][1-6][1-6]) "
             "echo zzz;; esac; done\n");
  const std::string quitter = script("quitter", "exit 0\n");
  write_file(root_ / "unbuilt" / "bot.c", "int main( {}\n");
  ASSERT_EQ(run_program({kArena, "build", (root_ / "unbuilt").string()}).status, 1);

  std::vector<std::string> args = {kArena,
                                   "check",
                                   "--time-limit",
                                   "1",
                                   "greedy=" + kBin + "/zarvo-greedy",
                                   "ghost=" + (root_ / "nowhere" / "bot").string(),
                                   "crash=" + crash,
                                   "silent=" + silent,
                                   "illegal=" + illegal,
                                   "quitter=" + quitter,
                                   (root_ / "unbuilt").string()};
  const bool root = ::geteuid() == 0;
  if (root) args.push_back("locked=" + script("locked", "exit 0\n", fs::perms(0700)));
  ProgramRun check = run_program(args);
  EXPECT_EQ(check.status, 1) << check.out << check.err;
  EXPECT_NE(line_for(check.out, "ok", "greedy  first answer"), "") << check.out;
  EXPECT_NE(line_for(check.out, "FAILED", "ghost  not found"), "") << check.out;
  EXPECT_NE(line_for(check.out, "FAILED", "crash  crashed at start"), "") << check.out;
  EXPECT_NE(check.out.find("| cannot load my weights"), std::string::npos) << check.out;
  EXPECT_NE(line_for(check.out, "FAILED", "silent  no first answer within the time limit of 1 s"),
            "")
      << check.out;
  EXPECT_NE(line_for(check.out, "FAILED", "illegal  illegal first move"), "") << check.out;
  EXPECT_NE(line_for(check.out, "FAILED", "quitter  exited before its first answer"), "")
      << check.out;
  EXPECT_NE(line_for(check.out, "FAILED", "unbuilt  the build of"), "") << check.out;
  if (root) {
    EXPECT_NE(line_for(check.out, "FAILED", "locked  not readable"), "") << check.out;
  }

  ProgramRun good = run_program({kArena, "check", kBin + "/zarvo-random"});
  EXPECT_EQ(good.status, 0) << good.out << good.err;
}

TEST_F(Entries, ATournamentDoesNotStartWhileAPlayerFailsItsCheck) {
  const std::string crash = script("crash", "exit 3\n");
  std::vector<std::string> args = {kArena,     "tournament",
                                   "--dir",    (root_ / "t").string(),
                                   "--seed",   "1",
                                   "--player", "greedy=" + kBin + "/zarvo-greedy",
                                   "--player", "crash=" + crash};
  ProgramRun refused = run_program(args);
  EXPECT_EQ(refused.status, 2) << refused.out << refused.err;
  EXPECT_NE(refused.err.find("does not start:\n  crash: crashed at start"), std::string::npos)
      << refused.err;
  EXPECT_FALSE(fs::exists(root_ / "t" / "refereelogs")) << "no game was played";

  args.push_back("--no-check");
  ProgramRun unchecked = run_program(args);
  EXPECT_EQ(unchecked.status, 0) << unchecked.out << unchecked.err;
  EXPECT_NE(unchecked.out.find("2 of 2 games finished"), std::string::npos) << unchecked.out;
}

#ifdef ENTRY_TEST_BOT
// Losing a game is a result like any other: a player that crashes later in its check game enters
// the field, warned about, while one that crashes before its first answer cannot play.
TEST_F(Entries, APlayerThatLosesLaterInItsCheckGameEntersWithAWarning) {
  const std::string bot = std::string(ENTRY_TEST_BOT) + " --mode=crash_abort --record=-";
  ProgramRun check = run_program({kArena, "check", "--time-limit", "5", "late=" + bot + " --at=3"});
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  EXPECT_NE(line_for(check.out, "ok", "late  first answer"), "") << check.out;
  EXPECT_NE(check.out.find("warning: in its check game it crashed in move "), std::string::npos)
      << check.out;

  std::vector<std::string> args = {kArena,     "tournament",
                                   "--dir",    (root_ / "t").string(),
                                   "--seed",   "1",
                                   "--player", "late=" + bot + " --at=3",
                                   "--player", "greedy=" + kBin + "/zarvo-greedy"};
  ProgramRun admitted = run_program(args);
  EXPECT_EQ(admitted.status, 0) << admitted.out << admitted.err;
  EXPECT_NE(admitted.err.find("late: admitted, but in its check game it crashed in move "),
            std::string::npos)
      << admitted.err;
  EXPECT_NE(admitted.out.find("2 of 2 games finished"), std::string::npos) << admitted.out;

  args[3] = (root_ / "t2").string();
  args[7] = "early=" + bot + " --at=1";
  ProgramRun refused = run_program(args);
  EXPECT_EQ(refused.status, 2) << refused.out << refused.err;
  EXPECT_NE(refused.err.find("does not start:\n  early: crashed at start"), std::string::npos)
      << refused.err;
  EXPECT_FALSE(fs::exists(root_ / "t2" / "refereelogs")) << "no game was played";
}
#endif

// A run matches its players by name: a late entrant sorting first plays only its new games, the
// played ones keeping their numbers and files; an entry built again from the same sources plays
// on, one built from other sources is refused under its old name.
TEST_F(Entries, ARunGrowsByNameAndRefusesAnEntryWhoseSourcesChanged) {
  const fs::path entries = root_ / "entries";
  auto build = [&](const std::string& name, int seed) {
    write_file(entries / name / "build.sh", "printf '#!/bin/sh\\nexec " + kBin +
                                                "/zarvo-random --seed " + std::to_string(seed) +
                                                "\\n' > bot\nchmod 755 bot\n");
    ProgramRun built = run_program({kArena, "build", (entries / name).string()});
    EXPECT_EQ(built.status, 0) << built.out << built.err;
  };
  const fs::path dir = root_ / "t";
  auto tournament = [&] {
    return run_program({kArena, "tournament", "--dir", dir.string(), "--seed", "1", "--ro-dir",
                        kBin, "--concurrency", "2", "--entries", entries.string()});
  };
  build("bn", 1);
  build("cc", 2);
  ASSERT_EQ(tournament().status, 0);
  const fs::path logs = dir / "refereelogs";
  const std::string log1 = read_file(logs / "bn-cc.1.log");
  const auto time1 = fs::last_write_time(logs / "bn-cc.1.log");
  ASSERT_NE(log1, "");

  build("aa", 3);
  ProgramRun grown = tournament();
  ASSERT_EQ(grown.status, 0) << grown.out << grown.err;
  EXPECT_NE(grown.out.find("resuming: 2 of 6 games already finished"), std::string::npos)
      << grown.out;
  EXPECT_EQ(grown.out.find("game 1:"), std::string::npos) << grown.out;
  EXPECT_EQ(read_file(logs / "bn-cc.1.log"), log1);
  EXPECT_EQ(fs::last_write_time(logs / "bn-cc.1.log"), time1);
  for (const char* game : {"cc-bn.2", "bn-aa.3", "aa-bn.4", "cc-aa.5", "aa-cc.6"}) {
    EXPECT_TRUE(fs::exists(logs / (std::string(game) + ".log"))) << game;
  }

  build("bn", 1);
  ProgramRun same = tournament();
  EXPECT_EQ(same.status, 0) << same.out << same.err;
  EXPECT_NE(same.out.find("resuming: 6 of 6 games"), std::string::npos) << same.out;

  build("bn", 9);
  ProgramRun changed = tournament();
  EXPECT_EQ(changed.status, 2) << changed.out << changed.err;
  EXPECT_NE(changed.err.find("bn changed since game 1: build it as a new entrant, e.g. bn-v2"),
            std::string::npos)
      << changed.err;
}

// The check before a tournament shows each entry what the tournament's games will: an entry
// that tries to read another's file or the tournament's, kept side by side in a directory every
// player sees, reads nothing, while an honest entry still reads its own.
TEST_F(Entries, ATournamentsCheckHidesTheOtherEntrants) {
  const fs::path dir = root_ / "players" / "t";
  write_file(dir / "notes.txt", "the organiser's notes\n");
  const std::string play = "exec " + kBin + "/zarvo-random\n";
  const std::string honest = script("honest", "cat \"$0\" >/dev/null || exit 4\n" + play);
  const std::string snoop =
      script("snoop", "for f in " + honest + " " + (dir / "notes.txt").string() +
                          "; do cat $f >&2 && exit 3; done\n" + play);
  ProgramRun run = run_program({kArena, "tournament", "--dir", dir.string(), "--seed", "1",
                                "--ro-dir", (root_ / "players").string(), "--ro-dir", kBin,
                                "--player", "honest=" + honest, "--player", "snoop=" + snoop});
  EXPECT_NE(line_for(run.out, "ok", "honest  first answer"), "") << run.out;
  EXPECT_NE(line_for(run.out, "ok", "snoop  first answer"), "") << run.out << run.err;
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  // Nor do its games.
  for (const auto& file : fs::directory_iterator(dir / "refereelogs")) {
    EXPECT_EQ(read_file(file.path()).find("organiser"), std::string::npos) << file.path();
  }
}

// A hostile build.sh leaves nothing a local user could use afterwards: what comes back into the
// entry is regular files, directories and links that stay inside it, none setuid, none writable
// by others, none the build user's; the entry itself and its sources keep their owner and mode.
TEST_F(Entries, ABuildLeavesNothingAnEntrantCanUseAfterwards) {
  const fs::path entry = root_ / "entries" / "hostile";
  write_file(entry / "build.sh",
             "cp /bin/sh suidsh; chmod 4755 suidsh; chmod 777 .; mkfifo pipe\n"
             "mkdir open; chmod 777 open; ln -s /etc/passwd out; ln -s suidsh in\n"
             "cp /bin/true bot\n");
  fs::permissions(entry, fs::perms(0755));
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown((entry / "build.sh").c_str(), 4242, 4242), 0);
  }

  ProgramRun build = run_program({kArena, "build", entry.string()});
  EXPECT_EQ(build.status, 0) << build.out << build.err;
  EXPECT_EQ(usable_leftovers(entry), "");
  EXPECT_TRUE(fs::exists(entry / "suidsh")) << "the build's files, made harmless";
  EXPECT_FALSE(fs::exists(fs::symlink_status(entry / "out"))) << "a link out of the entry";
  EXPECT_TRUE(fs::is_symlink(entry / "in")) << "a link inside it";
  EXPECT_EQ(fs::status(entry).permissions(), fs::perms(0755));
  struct stat source {};
  ASSERT_EQ(::stat((entry / "build.sh").c_str(), &source), 0);
  if (root) {
    EXPECT_EQ(source.st_uid, 4242u) << "the entrant's sources keep their owner";
  }
}

// An entry directory that is a link to somewhere else is refused, naming it, and nothing where
// it leads changes.
TEST_F(Entries, ALinkedEntryIsRefusedAndItsTargetLeftAsItWas) {
  const fs::path organiser = root_ / "organiser";
  write_file(organiser / "secret.conf", "password\n", fs::perms(0600));
  write_file(organiser / "bot.c", "int main(void) { return 0; }\n");
  fs::create_directories(root_ / "entries");
  fs::create_directory_symlink(organiser, root_ / "entries" / "m");

  ProgramRun build = run_program({kArena, "build", (root_ / "entries" / "m").string()});
  EXPECT_EQ(build.status, 1) << build.out << build.err;
  EXPECT_NE(line_for(build.out, "FAILED", "/m").find("/m is a symbolic link"), std::string::npos)
      << build.out;
  struct stat secret {};
  ASSERT_EQ(::stat((organiser / "secret.conf").c_str(), &secret), 0);
  EXPECT_EQ(secret.st_uid, ::geteuid());
  EXPECT_EQ(secret.st_mode & 07777, 0600u);
  EXPECT_FALSE(fs::exists(organiser / "zarvo-entry.txt"));
  EXPECT_FALSE(fs::exists(organiser / "bot"));

  // Nor does a tournament take it from --entries, even should it look built.
  write_file(organiser / "zarvo-entry.txt", "command ./bot\nrecipe c\nseconds 0\nresult ok\n");
  ProgramRun tournament = run_program({kArena, "tournament", "--dir", (root_ / "t").string(),
                                       "--entries", (root_ / "entries").string()});
  EXPECT_NE(
      tournament.err.find("left out: " + (root_ / "entries" / "m").string() + ": a symbolic link"),
      std::string::npos)
      << tournament.err;
}

// The file limit holds for everything a build keeps together, not only for each file: neither
// many files nor sparse ones get past it.
TEST_F(Entries, ABuildWritingMoreThanTheFileLimitInAllFails) {
  const fs::path many = root_ / "entries" / "many";
  const fs::path sparse = root_ / "entries" / "sparse";
  write_file(many / "build.sh",
             "for i in 1 2 3 4; do head -c 3000000 /dev/zero > part$i; done\ncp /bin/true bot\n");
  write_file(sparse / "build.sh",
             "for i in 1 2 3; do truncate -s 5M part$i; done\ncp /bin/true bot\n");

  ProgramRun build =
      run_program({kArena, "build", "--file-limit", "8", many.string(), sparse.string()});
  EXPECT_EQ(build.status, 1) << build.out << build.err;
  for (const fs::path& entry : {many, sparse}) {
    EXPECT_NE(line_for(build.out, "FAILED", entry.string()).find("file limit of 8 MB"),
              std::string::npos)
        << build.out;
    EXPECT_FALSE(fs::exists(entry / "part1")) << "nothing of a failed build is kept";
  }
}

// Entries kept under a directory of mode 700 build as root and then play, as any player there
// does; the honest C and Python entries among them.
TEST_F(Entries, EntriesUnderAPrivateDirectoryBuildAndPlay) {
  std::string pattern = (root_ / "private.XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const fs::path entries = pattern;
  fs::permissions(entries, fs::perms(0700));
  fs::copy(kSource / "tests/entries/c", entries / "c");
  fs::create_directories(entries / "py");
  fs::copy_file(kSource / "players/zarvo_bot.py", entries / "py" / "main.py");
  close_to_others(entries);

  ProgramRun build =
      run_program({kArena, "build", (entries / "c").string(), (entries / "py").string()});
  ASSERT_EQ(build.status, 0) << build.out << build.err;
  EXPECT_EQ(usable_leftovers(entries), "");

  ProgramRun game =
      run_program({kArena, "match", "--dir", (root_ / "game").string(),
                   entry_command_line(entries / "c"), entry_command_line(entries / "py")});
  EXPECT_EQ(game.status, 0) << game.out << game.err;
  EXPECT_NE(game.out.find(" winner "), std::string::npos) << game.out << game.err;
}

// Entries in JavaScript, Rust (a crate and a single file) and Go, built and each played to a
// finished game against zarvo-random.
TEST_F(Entries, JavaScriptRustAndGoEntriesBuildAndPlayAGame) {
  fs::path entries = root_ / "entries";
  fs::create_directories(entries);
  std::vector<fs::path> built;
  if (toolchain("/usr/bin/node", "nodejs")) {
    fs::copy(kSource / "tests/entries/javascript", entries / "javascript");
    built.push_back(entries / "javascript");
  }
  if (toolchain("/usr/bin/rustc", "rustc")) {
    fs::copy(kSource / "tests/entries/rust", entries / "rust");
    built.push_back(entries / "rust");
  }
  if (toolchain("/usr/bin/cargo", "cargo")) {
    fs::create_directories(entries / "crate" / "src");
    fs::copy_file(kSource / "tests/entries/rust/main.rs", entries / "crate/src/main.rs");
    write_file(entries / "crate/Cargo.toml",
               "[package]\nname = \"zarvo-bot\"\nversion = \"0.1.0\"\nedition = \"2021\"\n\n"
               "[dependencies]\n");
    built.push_back(entries / "crate");
  }
  if (toolchain("/usr/bin/go", "golang-go")) {
    fs::copy(kSource / "tests/entries/go", entries / "go");
    built.push_back(entries / "go");
  }
  if (built.empty()) GTEST_SKIP() << "no node, rustc, cargo or go";
  close_to_others(entries);

  std::vector<std::string> build_args = {kArena, "build"};
  for (const fs::path& entry : built) build_args.push_back(entry.string());
  ProgramRun build = run_program(build_args);
  ASSERT_EQ(build.status, 0) << build.out << build.err;
  EXPECT_EQ(usable_leftovers(entries), "");
  for (const fs::path& entry : built) {
    ProgramRun game = run_program({kArena, "match", "--dir", (root_ / "games").string(),
                                   entry_command_line(entry), kBin + "/zarvo-random"});
    EXPECT_EQ(game.status, 0) << entry << game.out << game.err;
    EXPECT_NE(game.out.find(" winner "), std::string::npos) << entry << game.out << game.err;
    EXPECT_EQ(game.out.find("isqualif"), std::string::npos) << entry << game.out << game.err;
  }
}

// The build has no network: a JavaScript package or a crate that needs others is refused, and
// the reason says so.
TEST_F(Entries, APackageOrCrateWithDependenciesIsRefusedWithTheReason) {
  fs::path entries = root_ / "entries";
  write_file(entries / "js" / "package.json",
             R"({"main": "bot.js", "dependencies": {"left-pad": "^1.3.0"}})");
  write_file(entries / "js" / "bot.js", "console.log('Aah')\n");
  write_file(entries / "crate" / "Cargo.toml",
             "[package]\nname = \"bot\"\nversion = \"0.1.0\"\n\n[dependencies]\nrand = \"0.8\"\n");
  write_file(entries / "crate" / "src/main.rs", "fn main() {}\n");
  ProgramRun build =
      run_program({kArena, "build", (entries / "js").string(), (entries / "crate").string()});
  EXPECT_EQ(build.status, 1) << build.out << build.err;
  EXPECT_NE(line_for(build.out, "FAILED", "package.json has dependencies"), "") << build.out;
  EXPECT_NE(line_for(build.out, "FAILED", "Cargo.toml has [dependencies] (rand = \"0.8\")"), "")
      << build.out;
  EXPECT_NE(build.out.find("without network"), std::string::npos) << build.out;
}

// `build --ro-dir D --env NAME=VALUE` shows D and sets NAME in every build's sandbox, as a
// compiler installed outside the system directories needs; without them the build sees neither.
TEST_F(Entries, BuildShowsTheGivenDirectoriesAndVariables) {
  const fs::path tools = root_ / "tools";
  write_file(tools / "token.txt", "from the organiser\n", fs::perms(0644));
  fs::permissions(tools, fs::perms(0755));
  const fs::path entry = root_ / "entries" / "reader";
  write_file(entry / "build.sh",
             "cat " + (tools / "token.txt").string() + " > bot\necho \"$ZARVO_NOTE\" >> bot\n");
  close_to_others(root_ / "entries");

  ProgramRun without = run_program({kArena, "build", entry.string()});
  EXPECT_EQ(without.status, 1) << without.out << without.err;

  ProgramRun with = run_program(
      {kArena, "build", "--ro-dir", tools.string(), "--env", "ZARVO_NOTE=noted", entry.string()});
  ASSERT_EQ(with.status, 0) << with.out << with.err;
  EXPECT_EQ(read_file(entry / "bot"), "from the organiser\nnoted\n");

  ProgramRun missing =
      run_program({kArena, "build", "--ro-dir", (root_ / "none").string(), entry.string()});
  EXPECT_EQ(missing.status, 2) << missing.out << missing.err;
}

}  // namespace
