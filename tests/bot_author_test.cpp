// What a new bot author meets first, through the real programs: a script started as
// `python3 sub/mybot.py` from the directory above it runs beside its files and plays under its
// own name, like an executable does; and a bot that loses by disqualification is told why on the
// terminal, with the end of its standard error and, for a time-out after writing nothing, what
// it was waiting in: only one blocked reading its standard input gets the hint about flushing.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/process_check.h"
#include "tests/support/test_files.h"

namespace fs = std::filesystem;
using test_support::ProgramRun;
using test_support::read_file;

namespace {

const std::string kBin = ZARVO_BIN_DIR;

void write_file(const fs::path& file, const std::string& text, bool executable = false) {
  std::ofstream(file) << text;
  if (executable)
    fs::permissions(file, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add);
}

// A bot that tells on standard error what it finds in "beside.txt" of its working directory,
// then hands over to zarvo-random, which plays the game.
std::string telling_bot_py() {
  return "import os, sys\n"
         "with open('beside.txt') as f:\n"
         "    print('found ' + f.read().strip(), file=sys.stderr, flush=True)\n"
         "os.execv('" +
         kBin + "/zarvo-random', ['zarvo-random'])\n";
}

class BotAuthor : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir_template[] = "/tmp/bot-author-test.XXXXXX";
    dir_ = ::mkdtemp(dir_template);
    // The sandboxed players run as users of their own when the tests run as root.
    fs::permissions(dir_,
                    fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                        fs::perms::others_exec,
                    fs::perm_options::add);
    fs::create_directories(dir_ / "sub");
    fs::create_directories(dir_ / "other");
    write_file(dir_ / "sub" / "beside.txt", "sub-file\n");
    write_file(dir_ / "other" / "beside.txt", "other-file\n");
  }
  void TearDown() override { fs::remove_all(dir_); }

  // zarvo-arena match run from the test directory, with PYTHONUNBUFFERED cleared (some machines
  // set it; a user's usually does not).
  ProgramRun match(const std::string& player1, const std::string& player2,
                   std::vector<std::string> options = {}) {
    std::vector<std::string> args = {"/usr/bin/env", "-u",          "PYTHONUNBUFFERED",
                                     "-C",           dir_.string(), kBin + "/zarvo-arena",
                                     "match",        "--dir",       "out",
                                     "--id",         "g1"};
    // The test's scripts hand over to the sample bots, which their sandboxes must show.
    args.insert(args.end(), {"--ro-dir", kBin});
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {player1, player2});
    return test_support::run_program(args);
  }

  std::string player_errors(const std::string& base, int player) const {
    return read_file(dir_ / "out" / "refereelogs" /
                     (base + ".g1.player" + std::to_string(player) + ".err"));
  }

  fs::path dir_;
};

TEST_F(BotAuthor, ScriptRunsBesideItsFilesUnderItsOwnName) {
  write_file(dir_ / "sub" / "mybot.py", telling_bot_py());
  for (const char* python : {"python3", "/usr/bin/python3"}) {
    ProgramRun run = match(std::string(python) + " sub/mybot.py", kBin + "/zarvo-greedy");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out.starts_with("mybot vs zarvo_greedy: ")) << run.out;
    EXPECT_EQ(run.out.find("PLAYER_1:_CRASH"), std::string::npos) << run.out;
    EXPECT_EQ(player_errors("mybot-zarvo_greedy", 1), "found sub-file\n") << python;
    fs::remove_all(dir_ / "out");
  }
}

TEST_F(BotAuthor, ExecutableRunsBesideItsFiles) {
  write_file(dir_ / "sub" / "mybot",
             "#!/bin/sh\necho \"found $(cat beside.txt)\" >&2\nexec " + kBin + "/zarvo-random\n",
             true);
  ProgramRun run = match(kBin + "/zarvo-greedy", "sub/mybot");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.out.starts_with("zarvo_greedy vs mybot: ")) << run.out;
  EXPECT_EQ(player_errors("zarvo_greedy-mybot", 2), "found sub-file\n");
}

TEST_F(BotAuthor, EnvIsLookedThroughToTheScriptAndUnclearFormsAreRefused) {
  write_file(dir_ / "sub" / "mybot.py", telling_bot_py());
  write_file(
      dir_ / "sub" / "mybot",
      "#!/bin/sh\necho \"found $(cat beside.txt) $ZARVO_X\" >&2\nexec " + kBin + "/zarvo-random\n",
      true);
  for (const char* command :
       {"/usr/bin/env python3 sub/mybot.py", "env -i -u HOME python3 sub/mybot.py",
        "env -S 'python3 sub/mybot.py'", "env '-S python3' sub/mybot.py",
        "/usr/bin/env -i -- X=1 python3 sub/mybot.py",
        "env --unset=HOME --split-string='python3 -u' sub/mybot.py"}) {
    ProgramRun run = match(command, kBin + "/zarvo-greedy");
    ASSERT_EQ(run.status, 0) << command << "\n" << run.err;
    EXPECT_TRUE(run.out.starts_with("mybot vs zarvo_greedy: ")) << command << "\n" << run.out;
    EXPECT_EQ(player_errors("mybot-zarvo_greedy", 1), "found sub-file\n") << command;
    fs::remove_all(dir_ / "out");
  }
  // A program of the player's own, started by env with a variable set.
  ProgramRun own = match("env ZARVO_X=set sub/mybot", kBin + "/zarvo-greedy");
  ASSERT_EQ(own.status, 0) << own.err;
  EXPECT_TRUE(own.out.starts_with("mybot vs zarvo_greedy: ")) << own.out;
  EXPECT_EQ(player_errors("mybot-zarvo_greedy", 1), "found sub-file set\n");

  for (const char* command : {"env -C sub python3 mybot.py", "env --ign python3 sub/mybot.py",
                              "env -S 'python3 $HOME/x.py'", "env X=1", "env X=1 -i python3"}) {
    ProgramRun run = match(command, kBin + "/zarvo-greedy");
    EXPECT_EQ(run.status, 2) << command;
    EXPECT_NE(run.err.find("zarvo-arena match: player 1: env"), std::string::npos)
        << command << "\n"
        << run.err;
  }
}

TEST_F(BotAuthor, TwoPlayersOfOneNameAreNumberedApart) {
  write_file(dir_ / "sub" / "mybot.py", telling_bot_py());
  write_file(dir_ / "other" / "mybot.py", telling_bot_py());
  ProgramRun run = match("python3 sub/mybot.py", "python3 other/mybot.py");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.out.starts_with("mybot_1 vs mybot_2: ")) << run.out;
  EXPECT_NE(run.err.find("both players are named mybot, so they play as mybot_1 and mybot_2"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(player_errors("mybot_1-mybot_2", 1), "found sub-file\n");
  EXPECT_EQ(player_errors("mybot_1-mybot_2", 2), "found other-file\n");
}

TEST(SampleBots, AnswerHelpWithTheirUsage) {
  for (const std::vector<std::string>& bot :
       {std::vector<std::string>{kBin + "/zarvo-random", "--help"},
        std::vector<std::string>{kBin + "/zarvo-greedy", "--seed", "3", "--help"},
        std::vector<std::string>{"/usr/bin/python3", kBin + "/zarvo_bot.py", "--help"}}) {
    ProgramRun run = test_support::run_program(bot);
    EXPECT_EQ(run.status, 0) << bot[0] << run.err;
    EXPECT_NE(run.out.find("sage: zarvo"), std::string::npos) << bot[0] << run.out;
  }
  // A seed that is no number is named, not a crash.
  ProgramRun bad = test_support::run_program({kBin + "/zarvo-random", "--seed", "x7"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("--seed takes a whole number"), std::string::npos) << bad.err;
}

TEST_F(BotAuthor, GivenWorkingDirectoryAndNameWin) {
  write_file(dir_ / "sub" / "mybot.py", telling_bot_py());
  ProgramRun run =
      match("python3 sub/mybot.py", kBin + "/zarvo-greedy", {"--cwd1", "other", "--name1", "mine"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.out.starts_with("mine vs zarvo_greedy: ")) << run.out;
  EXPECT_EQ(player_errors("mine-zarvo_greedy", 1), "found other-file\n");
}

TEST_F(BotAuthor, UnflushedAnswerTimesOutWithTheHint) {
  // Answers every tile, but never flushes: on a pipe, print() keeps it in a buffer.
  write_file(dir_ / "sub" / "quiet.py",
             "import sys\n"
             "for line in sys.stdin:\n"
             "    if len(line.strip()) == 6:\n"
             "        print('Hhh')\n");
  ProgramRun run = match("python3 sub/quiet.py", kBin + "/zarvo-random", {"--time-limit", "1"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("PLAYER_1:_TIMEOUT"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("quiet (player 1) was disqualified: TIMEOUT in move 1"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("wrote nothing since the last line it was sent and sat idle, blocked "
                         "reading its standard input"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("flush"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("of thinking time, its limit is 1.00 s\n"), std::string::npos) << run.err;
}

TEST_F(BotAuthor, SleepPastTheTimeIsSaidWithoutTheFlushHint) {
  write_file(dir_ / "sub" / "sleepy.py",
             "import sys, time\n"
             "for line in sys.stdin:\n"
             "    if len(line.strip()) == 6:\n"
             "        time.sleep(60)\n");
  ProgramRun run = match("python3 sub/sleepy.py", kBin + "/zarvo-random", {"--time-limit", "1"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("sleepy (player 1) was disqualified: TIMEOUT in move 1"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("sat idle, asleep (in "), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("standard input:"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("flush"), std::string::npos) << run.err;
}

TEST_F(BotAuthor, SlowAnswerTimesOutWithTheTimeAndNoFlushHint) {
  // Reads its first tile, then computes without end.
  write_file(dir_ / "sub" / "slow.py",
             "import sys\n"
             "for line in sys.stdin:\n"
             "    if len(line.strip()) == 6:\n"
             "        while True:\n"
             "            pass\n");
  ProgramRun run = match("python3 sub/slow.py", kBin + "/zarvo-random", {"--time-limit", "1"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("slow (player 1) was disqualified: TIMEOUT in move 1"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("of thinking time, its limit is 1.00 s\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("it was still computing when its time ran out"), std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("sat idle"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("flush"), std::string::npos) << run.err;
}

TEST_F(BotAuthor, DebugOutputOnStandardOutputIsShownWithWhereItBelongs) {
  write_file(dir_ / "sub" / "chatty.py",
             "import sys\n"
             "for line in sys.stdin:\n"
             "    if len(line.strip()) == 6:\n"
             "        print('thinking: 125 moves to try', flush=True)\n");
  ProgramRun run = match(kBin + "/zarvo-random", "python3 sub/chatty.py");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("chatty (player 2) was disqualified: ILLEGAL in move 2: "),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("  it wrote \"thinking: 125 moves to try\"\n"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("standard output carries answers only"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("debug output to standard error"), std::string::npos) << run.err;
}

TEST_F(BotAuthor, LongIllegalLineIsShownCut) {
  write_file(dir_ / "sub" / "long.py",
             "import sys\n"
             "for line in sys.stdin:\n"
             "    if len(line.strip()) == 6:\n"
             "        print('y' * 5000, flush=True)\n");
  ProgramRun run = match("python3 sub/long.py", kBin + "/zarvo-random");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("  it wrote \"" + std::string(200, 'y') + "...\"\n"), std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find(std::string(201, 'y')), std::string::npos);
}

TEST_F(BotAuthor, FilesWrittenInTheSandboxAreNamedAndKeptWhenAsked) {
  write_file(dir_ / "sub" / "writer.py",
             "import os\n"
             "with open('debug.log', 'w') as f:\n"
             "    f.write('seen inside\\n')\n"
             "os.makedirs('trace', exist_ok=True)\n"
             "with open('trace/moves.txt', 'w') as f:\n"
             "    f.write('x' * 3000)\n"
             "os.execv('" +
                 kBin + "/zarvo-random', ['zarvo-random'])\n");
  ProgramRun run = match("python3 sub/writer.py", kBin + "/zarvo-greedy");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("writer (player 1) wrote 2 files in its working directory, which only its "
                         "sandbox saw: debug.log (12 bytes), trace/moves.txt (2 KiB)\n"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("--keep-player-files keeps them"), std::string::npos) << run.err;
  // Not on the host: the sandbox's working directory was a scratch area.
  EXPECT_FALSE(fs::exists(dir_ / "sub" / "debug.log"));
  fs::remove_all(dir_ / "out");

  run = match("python3 sub/writer.py", kBin + "/zarvo-greedy", {"--keep-player-files"});
  ASSERT_EQ(run.status, 0) << run.err;
  const fs::path kept = dir_ / "out" / "refereelogs" / "writer-zarvo_greedy.g1.player1.files";
  EXPECT_NE(run.err.find("  copied to out/refereelogs/writer-zarvo_greedy.g1.player1.files\n"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(read_file(kept / "debug.log"), "seen inside\n");
  EXPECT_EQ(read_file(kept / "trace" / "moves.txt"), std::string(3000, 'x'));
  // The opponent wrote nothing: no note, no directory.
  EXPECT_EQ(run.err.find("zarvo_greedy (player 2) wrote"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(dir_ / "out" / "refereelogs" / "writer-zarvo_greedy.g1.player2.files"));
}

TEST_F(BotAuthor, ScriptRunAsItsOwnProgramIsNamedWithoutItsExtension) {
  write_file(dir_ / "sub" / "mybot.py", "#!/usr/bin/env python3\n" + telling_bot_py(), true);
  ProgramRun run = match("sub/mybot.py", kBin + "/zarvo-greedy");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.out.starts_with("mybot vs zarvo_greedy: ")) << run.out;
}

// Unchecked: the check before the first game would refuse the crashing player.
TEST_F(BotAuthor, TournamentTerminalShowsEachDisqualificationShortly) {
  write_file(dir_ / "sub" / "crashy.py",
             "import sys\n"
             "print('a long traceback line', file=sys.stderr)\n"
             "raise SystemExit(3)\n");
  ProgramRun run = test_support::run_program(
      {"/usr/bin/env", "-C", dir_.string(), kBin + "/zarvo-arena", "tournament", "--dir", "t",
       "--seed", "1", "--concurrency", "1", "--no-check", "--player",
       "/usr/bin/python3 sub/crashy.py", "--player", kBin + "/zarvo-random"});
  ASSERT_EQ(run.status, 0) << run.err;
  // One note per game, naming the game; the end of the error file stays in the file.
  EXPECT_NE(run.out.find("game 1: crashy (player 1) was disqualified: CRASH in move 1"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("game 2: crashy (player 2) was disqualified: CRASH in move 2"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("a long traceback line"), std::string::npos) << run.out;
}

TEST_F(BotAuthor, AnswerOverTheMoveLimitTimesOutNamingTheMoveLimit) {
  // Thinks 0.4 s for every tile: within the game's 3 s at first, but over the move limit.
  write_file(dir_ / "sub" / "ponderous.py",
             "import sys, time\n"
             "for line in sys.stdin:\n"
             "    if len(line.strip()) == 6:\n"
             "        start = time.time()\n"
             "        while time.time() - start < 0.4:\n"
             "            pass\n"
             "        print('Hhh', flush=True)\n");
  ProgramRun run = match("python3 sub/ponderous.py", kBin + "/zarvo-random",
                         {"--time-limit", "3", "--move-limit", "300ms"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("ponderous (player 1) was disqualified: TIMEOUT in move 1"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("of thinking time for this answer, its move limit is 0.30 s"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("its limit is 3.00 s"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("(the move limit holds for each answer)"), std::string::npos) << run.err;
}

TEST_F(BotAuthor, UnfinishedLineTimesOutSayingSo) {
  write_file(dir_ / "sub" / "half.py",
             "import sys, time\n"
             "sys.stdin.readline()\n"
             "sys.stdout.write('Hh')\n"
             "sys.stdout.flush()\n"
             "time.sleep(60)\n");
  ProgramRun run = match(kBin + "/zarvo-random", "python3 sub/half.py", {"--time-limit", "1"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("half (player 2) was disqualified: TIMEOUT"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("wrote \"Hh\" but never ended the line"), std::string::npos) << run.err;
}

TEST_F(BotAuthor, CrashShowsTheEndOfItsStandardError) {
  write_file(dir_ / "sub" / "crashy.py",
             "import sys\n"
             "for i in range(1, 9):\n"
             "    print('note %d' % i, file=sys.stderr)\n"
             "raise ValueError('bad move table')\n");
  ProgramRun run = match("python3 sub/crashy.py", kBin + "/zarvo-random");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("crashy (player 1) was disqualified: CRASH in move 1"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("    ValueError: bad move table\n"), std::string::npos) << run.err;
  // Five lines at most: the traceback's end, not the notes written first.
  EXPECT_EQ(run.err.find("note 1"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("zarvo_random (player 2) was disqualified"), std::string::npos);
}

TEST_F(BotAuthor, IllegalMoveIsExplained) {
  write_file(dir_ / "sub" / "wrong.py",
             "import sys\n"
             "for line in sys.stdin:\n"
             "    if len(line.strip()) == 6:\n"
             "        print('Zzz', end='\\r\\n', flush=True)\n");
  ProgramRun run = match(kBin + "/zarvo-random", "python3 sub/wrong.py");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("wrong (player 2) was disqualified: ILLEGAL in move 2: "),
            std::string::npos)
      << run.err;
  // A CRLF line end is named, not hidden behind a '?'.
  EXPECT_NE(run.err.find("  it wrote \"Zzz\\r\"\n"), std::string::npos) << run.err;
  // A wrong move is still a move: no word about what standard output is for.
  EXPECT_EQ(run.err.find("standard output carries answers only"), std::string::npos) << run.err;
}

TEST_F(BotAuthor, TranscriptHoldsEveryLineBothWaysWithTimes) {
  ProgramRun run = match(kBin + "/zarvo-greedy", kBin + "/zarvo-random", {"--transcript"});
  ASSERT_EQ(run.status, 0) << run.err;
  const fs::path dir = dir_ / "out" / "refereelogs";
  std::istringstream transcript(read_file(dir / "zarvo_greedy-zarvo_random.g1.transcript.txt"));
  std::istringstream log(read_file(dir / "zarvo_greedy-zarvo_random.g1.log"));
  std::vector<std::string> sent[2], received[2], laid[2];
  std::string line;
  double last_time = 0;
  while (std::getline(transcript, line)) {
    if (line.starts_with("#")) continue;
    std::istringstream fields(line);
    double time = 0;
    std::string who, text;
    fields >> time >> who;
    std::getline(fields >> std::ws, text);
    ASSERT_GE(time, last_time) << line;
    last_time = time;
    ASSERT_EQ(who.size(), 2u) << line;
    int seat = who[0] - '1';
    ASSERT_TRUE(seat == 0 || seat == 1) << line;
    (who[1] == '>' ? sent : received)[seat].push_back(text);
  }
  while (std::getline(log, line)) {
    if (line.starts_with("Round ") && line.find(" player 1: ") != std::string::npos)
      laid[0].push_back(line.substr(line.rfind(' ') + 1));
    if (line.starts_with("Round ") && line.find(" player 2: ") != std::string::npos)
      laid[1].push_back(line.substr(line.rfind(' ') + 1));
  }
  ASSERT_GE(received[0].size(), 4u);
  EXPECT_EQ(received[0][2], "Start");
  EXPECT_EQ(received[0].back(), "Quit");
  EXPECT_EQ(received[1].back(), "Quit");
  for (int seat = 0; seat < 2; ++seat) {
    // Every answer a player sent is the start of a move the log records for it.
    ASSERT_EQ(sent[seat].size(), laid[seat].size()) << seat;
    for (std::size_t i = 0; i < sent[seat].size(); ++i) {
      EXPECT_EQ(sent[seat][i], laid[seat][i].substr(0, 2) + laid[seat][i].substr(8)) << i;
    }
  }
}

TEST_F(BotAuthor, TournamentNamesAndPlacesScriptsTheSameWay) {
  write_file(dir_ / "sub" / "mybot.py", telling_bot_py());
  ProgramRun run =
      test_support::run_program({"/usr/bin/env", "-C", dir_.string(), kBin + "/zarvo-arena",
                                 "tournament", "--dir", "t", "--player", "python3 sub/mybot.py",
                                 "--player", kBin + "/zarvo-random", "--emit-jobs", "jobs.txt"});
  ASSERT_EQ(run.status, 0) << run.err;
  std::string jobs = read_file(dir_ / "jobs.txt");
  EXPECT_NE(jobs.find("--name1 mybot"), std::string::npos) << jobs;
  // The script is named by its absolute path, so the job runs the same from anywhere.
  EXPECT_NE(jobs.find((dir_ / "sub" / "mybot.py").string()), std::string::npos) << jobs;
}

}  // namespace
