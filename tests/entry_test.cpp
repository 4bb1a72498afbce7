// Entrants' sources built by `zarvo-arena build` and players checked by `zarvo-arena check`,
// through the real programs: entries in C, C++, Java and Python built in their sandboxes and
// played in a tournament; a compile error reported and left out; builds that try the network,
// write outside their entry or loop fail at it; each kind of failing player gets its reason, a
// tournament does not start while one fails, and its check hides the other entrants.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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
  EXPECT_EQ(standings.find("broken"), std::string::npos) << standings;

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

}  // namespace
