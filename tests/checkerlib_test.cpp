// The manager interface as the match manager sees it. Every case runs the library in a child
// process (tests/support/checkerlib_driver) with real standard input and output, because its
// state is process-wide and its final report comes from an exit handler.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Outcome {
  int status = -1;  // exit status, or 128 + signal number
  std::string out;
  std::string err;
};

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_file(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

int decode_status(int raw) { return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw); }

// Child side: working directory dir, a deadlock guard, then the driver.
[[noreturn]] void exec_driver(const fs::path& dir, const std::vector<std::string>& args) {
  if (chdir(dir.c_str()) != 0) _exit(120);
  alarm(30);  // a referee that hangs on its input is killed instead of stalling the suite
  std::vector<char*> argv;
  std::string program = CHECKERLIB_DRIVER;
  argv.push_back(program.data());
  std::vector<std::string> copy = args;
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  execv(program.c_str(), argv.data());
  _exit(121);
}

class Checkerlib : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::path(::testing::TempDir()) / "checkerlib-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override { fs::remove_all(dir); }

  // Runs the driver with `input` as standard input (a file) and the given steps.
  Outcome run(const std::string& input, const std::vector<std::string>& args) {
    write_file(dir / "manager-input", input);
    pid_t child = fork();
    if (child == 0) {
      int in = open((dir / "manager-input").c_str(), O_RDONLY);
      int out = open((dir / "manager-output").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int err = open((dir / "manager-errors").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (in < 0 || out < 0 || err < 0) _exit(122);
      dup2(in, 0);
      dup2(out, 1);
      dup2(err, 2);
      exec_driver(dir, args);
    }
    int raw = 0;
    waitpid(child, &raw, 0);
    Outcome o;
    o.status = decode_status(raw);
    o.out = read_file(dir / "manager-output");
    o.err = read_file(dir / "manager-errors");
    return o;
  }

  std::string log_path() const { return (dir / "game.log").string(); }
  std::string log_text() const { return read_file(dir / "game.log"); }
  std::string page_text() const { return read_file(dir / "game.log.html"); }

  fs::path dir;
};

std::string tag(char selector) { return "<" + std::string(16, '-') + selector + "-tag>"; }

// Steps that set both results, so that the exit handler reports.
const std::vector<std::string> kDraw = {"result", "0", "150", "DRAW", "result", "1", "150", "DRAW"};

std::vector<std::string> with_draw(std::vector<std::string> steps) {
  steps.insert(steps.end(), kDraw.begin(), kDraw.end());
  return steps;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// ---- player channels ----

TEST_F(Checkerlib, CompleteLineGoesOutAtOnceWithThePlayerNumber) {
  Outcome o = run("", {"-", "input", "0", "Start\\n"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "1 Start\n");
}

TEST_F(Checkerlib, PartialLineWaitsForTheCallThatEndsIt) {
  Outcome o =
      run("", {"-", "input", "1", "Hh", "input", "0", "Start\\n", "input", "1", "123456h\\n"});
  EXPECT_EQ(o.out, "1 Start\n2 Hh123456h\n");
}

TEST_F(Checkerlib, QueuedLinesGoOutInOneWriteWithOnePrefix) {
  Outcome o = run("", {"-", "input", "0", "a\\nb", "input", "0", "\\n"});
  EXPECT_EQ(o.out, "1 a\nb\n");
}

TEST_F(Checkerlib, TextForAllPlayersBypassesTheChannels) {
  Outcome o = run("", {"-", "input", "0", "Hh", "all", "Quit\\n", "input", "0", "x\\n"});
  EXPECT_EQ(o.out, "1 Quit\n2 Quit\n1 Hhx\n");
}

TEST_F(Checkerlib, EmptyTextAndIndexMinusOneSendNothing) {
  Outcome o = run("", {"-", "input", "0", "", "input", "-1", "x\\n", "input", "0", "y\\n"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "1 y\n");
}

TEST_F(Checkerlib, OverlongChannelTextIsCutToALineOf999Characters) {
  Outcome o = run("", {"-", "input", "0", std::string(1500, 'x') + "\\n", "input", "0", "y\\n"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "1 " + std::string(998, 'x') + "\n1 y\n");
}

// ---- answer exchange ----

TEST_F(Checkerlib, AnswerExchangeSkipsTokensUntilLockOk) {
  Outcome o = run("Kd654321v lock_ok\nHhv\n", {"-", "move", "0", "last", "0"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "I lock\nI listen 1\nI unlock\n");
  EXPECT_EQ(o.err, "driver: code 0 answer Hhv\ndriver: last Hhv\n");
}

TEST_F(Checkerlib, LeftoverWordsOfAnAnswerLineAreDiscardedByTheNextLockWait) {
  Outcome o = run("lock_ok Hhv two words\nlock_ok Abh\n", {"-", "move", "0", "move", "1"});
  EXPECT_EQ(o.out, "I lock\nI listen 1\nI unlock\nI lock\nI listen 2\nI unlock\n");
  EXPECT_EQ(o.err, "driver: code 0 answer Hhv\ndriver: code 0 answer Abh\n");
}

TEST_F(Checkerlib, NoAnswerBeforeTheFirstExchange) {
  Outcome o = run("", {"-", "last", "1"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "driver: last (none)\n");
}

TEST_F(Checkerlib, OverlongAnswerIsCutAndItsRestNeverEndsALockWait) {
  // The rest of the long token reads "lock_ok"; it must be discarded, not taken as the lock.
  std::string long_answer = std::string(1023, 'a') + "lock_ok";
  Outcome o = run("lock_ok " + long_answer + " lock_ok Hhv\n", {"-", "move", "0", "move", "0"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "I lock\nI listen 1\nI unlock\nI lock\nI listen 1\nI unlock\n");
  EXPECT_EQ(o.err,
            "driver: code 0 answer " + std::string(1023, 'a') + "\ndriver: code 0 answer Hhv\n");
}

TEST_F(Checkerlib, ManagerTagsGiveTheirAnswerCodes) {
  struct Case {
    char selector;
    std::string expected;
  };
  for (const Case& c :
       {Case{'e', "driver: code 0 answer \\n\n"}, Case{'i', "driver: code 1 answer "},
        Case{'r', "driver: code 3 answer "}, Case{'t', "driver: code 4 answer "}}) {
    Outcome o = run("lock_ok " + tag(c.selector), {"-", "move", "1"});
    EXPECT_EQ(o.status, 0) << c.selector;
    EXPECT_EQ(o.out, "I lock\nI listen 2\nI unlock\n") << c.selector;
    EXPECT_EQ(o.err.rfind(c.expected, 0), 0u) << c.selector << ": " << o.err;
  }
}

TEST_F(Checkerlib, IrregularOrShortTagStopsWithStatusOneAfterUnlock) {
  for (const std::string& token : {tag('x'), std::string("<short-tag>"), std::string("<")}) {
    Outcome o = run("lock_ok " + token + "\n", with_draw({"-", "move", "0"}));
    EXPECT_EQ(o.status, 1) << token;
    EXPECT_EQ(o.out, "I lock\nI listen 1\nI unlock\n") << token;
    EXPECT_EQ(o.err, "The kavrio sent a not-regular tag: " + token + "\n");
  }
}

TEST_F(Checkerlib, EndOfInputWhileWaitingStopsWithStatusOne) {
  struct Case {
    std::string input;
    std::string out;
  };
  for (const Case& c : {Case{"", "I lock\n"}, Case{"some noise", "I lock\n"},
                        Case{"lock_ok", "I lock\nI listen 1\n"}}) {
    Outcome o = run(c.input, {"-", "move", "0"});
    EXPECT_EQ(o.status, 1) << c.input;
    EXPECT_EQ(o.out, c.out) << c.input;
    EXPECT_NE(o.err.find("closed the referee's input"), std::string::npos) << o.err;
  }
}

// Every line reaches the manager before the referee blocks on its input: the test plays the
// manager over pipes and only answers what it has already seen.
TEST_F(Checkerlib, EveryLineIsFlushedBeforeTheRefereeWaits) {
  int to_child[2];
  int from_child[2];
  ASSERT_EQ(pipe(to_child), 0);
  ASSERT_EQ(pipe(from_child), 0);
  pid_t child = fork();
  if (child == 0) {
    dup2(to_child[0], 0);
    dup2(from_child[1], 1);
    int err = open((dir / "manager-errors").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err >= 0) dup2(err, 2);
    close(to_child[1]);
    close(from_child[0]);
    exec_driver(dir, with_draw({"-", "input", "0", "Start\\n", "move", "0"}));
  }
  close(to_child[0]);
  close(from_child[1]);
  std::string seen;
  auto expect_output = [&](const std::string& wanted) {
    while (seen.size() < wanted.size()) {
      pollfd p{from_child[0], POLLIN, 0};
      ASSERT_EQ(poll(&p, 1, 20000), 1) << "referee holds back output; seen: " << seen;
      char chunk[256];
      ssize_t n = read(from_child[0], chunk, sizeof chunk);
      ASSERT_GT(n, 0) << seen;
      seen.append(chunk, static_cast<size_t>(n));
    }
    ASSERT_EQ(seen, wanted);
    seen.clear();
  };
  auto answer = [&](const std::string& text) {
    ASSERT_EQ(write(to_child[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  };
  expect_output("1 Start\nI lock\n");
  answer("lock_ok\n");
  expect_output("I listen 1\n");
  answer("Hhv\n");
  expect_output("I unlock\nM report 150 150 PLAYER_1:_DRAW;_PLAYER_2:_DRAW\n");
  close(to_child[1]);
  int raw = 0;
  waitpid(child, &raw, 0);
  EXPECT_EQ(decode_status(raw), 0);
  close(from_child[0]);
}

// ---- game log ----

TEST_F(Checkerlib, GameLogHoldsHeaderLogLinesAndNumberedMoves) {
  Outcome o = run("", {log_path(), "colours", "3", "1", "log", "Starting tile: Hh523146h\\n", "log",
                       "Player 1: You have been disqualified in move 1: x", "logmove", "0",
                       "Bc123456h", "log", "Result: fine", "logmove", "1", "Kd654321v"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(log_text(),
            "Game log: " + log_path() +
                "\n\nColours: 3, 1\nStarting tile: Hh523146h\n\n"
                "Round 1 player 1: Bc123456h\nResult: fine\nRound 2 player 2: Kd654321v\n");
}

TEST_F(Checkerlib, LongLogTextIsCutTo1022Characters) {
  run("", {log_path(), "log", std::string(3000, 'y')});
  EXPECT_EQ(log_text(), "Game log: " + log_path() + "\n\n" + std::string(1022, 'y') + "\n");
}

TEST_F(Checkerlib, UnopenableLogIsReportedAndPlayGoesOnWithoutIt) {
  // A directory in the log's place: the log cannot be opened, the page beside it can.
  fs::create_directory(dir / "game.log");
  Outcome o = run("", with_draw({log_path(), "game", "3", "1", "Hh523146h", "log", "x", "logmove",
                                 "0", "Bc123456h"}));
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "R: Cannot open log file " + log_path() + ": Is a directory\n");
  EXPECT_EQ(o.out, "M report 150 150 PLAYER_1:_DRAW;_PLAYER_2:_DRAW\n");
  // No time exchange, but the move list still grew.
  EXPECT_NE(page_text().find("var moves=['Hh523146h', 'Bc123456h'];"), std::string::npos);
}

// ---- final report ----

TEST_F(Checkerlib, FinalReportAsksForBothTimesAndReportsLast) {
  Outcome o = run("time 1503 1480\ntime 20 1234567890\n",
                  with_draw({log_path(), "game", "3", "1", "Hh523146h", "logmove", "0", "Bc123456h",
                             "logmove", "1", "Kd654321v"}));
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out,
            "I request_time 1\nI request_time 2\n"
            "M report 150 150 PLAYER_1:_DRAW;_PLAYER_2:_DRAW\n");
  EXPECT_EQ(log_text(), "Game log: " + log_path() +
                            "\n\n"
                            "Round 1 player 1: Bc123456h\nRound 2 player 2: Kd654321v\n"
                            "\nPlayer 1 used in milliseconds:    1480 (  1503 ms in real time)\n"
                            "Player 2 used in milliseconds: 1234567890 (    20 ms in real time)\n"
                            "\nManager report: PLAYER_1:_DRAW;_PLAYER_2:_DRAW Score: 150-150.\n");
  EXPECT_NE(page_text().find("var moves=['Hh523146h', 'Bc123456h','Kd654321v'];"),
            std::string::npos);
}

TEST_F(Checkerlib, ResultEntriesStandInTheOrderOfTheCalls) {
  Outcome o = run("", {"-", "result", "1", "0", "CRASH", "result", "0", "210", "WIN"});
  EXPECT_EQ(o.out, "M report 210 0 PLAYER_2:_CRASH;_PLAYER_1:_WIN\n");
}

TEST_F(Checkerlib, DoubleDisqualificationExitStillReports) {
  Outcome o =
      run("", {"-", "result", "0", "0", "ILLEGAL", "result", "1", "0", "TIMEOUT", "exit", "0"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "M report 0 0 PLAYER_1:_ILLEGAL;_PLAYER_2:_TIMEOUT\n");
}

TEST_F(Checkerlib, WrongTimeReplyStopsTheReportWithStatusOne) {
  Outcome first = run("tame 1 2\n", with_draw({log_path()}));
  EXPECT_EQ(first.status, 1);
  EXPECT_EQ(first.err, "Error by the kavrio\n");
  EXPECT_EQ(first.out, "I request_time 1\n");
  EXPECT_EQ(log_text(), "Game log: " + log_path() + "\n\n");
  EXPECT_FALSE(fs::exists(dir / "game.log.html"));

  Outcome second = run("time 1 2 timex 3 4\n", with_draw({log_path()}));
  EXPECT_EQ(second.status, 1);
  EXPECT_EQ(second.err, "Error by the kavrio!\n");
  EXPECT_EQ(second.out, "I request_time 1\nI request_time 2\n");
  EXPECT_EQ(log_text(),
            "Game log: " + log_path() +
                "\n\n\nPlayer 1 used in milliseconds:       2 (     1 ms in real time)\n");
  EXPECT_FALSE(fs::exists(dir / "game.log.html"));
}

TEST_F(Checkerlib, EndOfInputDuringTheTimeReplyStopsWithStatusOne) {
  for (const std::string& input :
       {std::string(""), std::string("time 1"), std::string("time 1 2 time 3")}) {
    Outcome o = run(input, with_draw({log_path()}));
    EXPECT_EQ(o.status, 1) << input;
    EXPECT_NE(o.err.find("closed the referee's input"), std::string::npos) << o.err;
    EXPECT_EQ(o.out.find("M report"), std::string::npos) << input;
  }
}

TEST_F(Checkerlib, ErrorStopWithAResultUnsetReportsNothing) {
  Outcome o = run("", {log_path(), "result", "0", "0", "ILLEGAL", "exit", "1"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err, "");
  EXPECT_FALSE(fs::exists(dir / "game.log.html"));
}

TEST_F(Checkerlib, UncreatablePageIsSkippedAndTheReportFollows) {
  fs::create_directory(dir / "game.log.html");  // the page's path is taken by a directory
  Outcome o = run("time 1 2 time 3 4", with_draw({log_path()}));
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out,
            "I request_time 1\nI request_time 2\n"
            "M report 150 150 PLAYER_1:_DRAW;_PLAYER_2:_DRAW\n");
}

// ---- referee.txt ----

TEST_F(Checkerlib, RefereeTxtSetsTheViewerPath) {
  struct Case {
    const char* content;
    std::string src;
  };
  for (const Case& c : {Case{nullptr, "../bin/resources/zarvo.js"},
                        Case{"jspath=../viewer/ other=y\n", "../viewer/zarvo.js"},
                        Case{"  jspath=../v/=x\n", "../v/zarvo.js"},
                        Case{"other=x\njspath=../viewer/\n", "zarvo.js"}, Case{"", "zarvo.js"},
                        Case{"jspath\n", "zarvo.js"}, Case{"jspath=", "zarvo.js"}}) {
    fs::remove(dir / "referee.txt");
    if (c.content != nullptr) write_file(dir / "referee.txt", c.content);
    Outcome full = run("time 1 1 time 1 1", with_draw({"game.log"}));  // the page comes at exit
    EXPECT_EQ(full.status, 0);
    EXPECT_NE(page_text().find("src=\"" + c.src + "\""), std::string::npos)
        << (c.content ? c.content : "(no file)") << page_text();
  }
}

TEST_F(Checkerlib, OverlongViewerPathIsCutTo127Characters) {
  write_file(dir / "referee.txt", "jspath=" + std::string(300, 'v'));
  run("time 1 1 time 1 1", with_draw({"game.log"}));
  EXPECT_NE(page_text().find("src=\"" + std::string(127, 'v') + "zarvo.js\""), std::string::npos);
}

// ---- broken calls ----

TEST_F(Checkerlib, BrokenCallsStopOnTheirAssertionWithoutAReport) {
  struct Case {
    std::vector<std::string> steps;
    std::string expression;
  };
  for (const Case& c :
       {Case{{"reset", "0"}, "0"},
        Case{{"input", "2", "x\\n"}, "p >= -1 && p < player_count && buf != NULL"},
        Case{{"result", "2", "1", "WIN"}, "p >= 0 && p < player_count"},
        Case{{"move", "-1"}, "p >= 0 && p < player_count"},
        Case{{"logmove", "2", "x"}, "p >= 0 && p < player_count && move != NULL"}}) {
    Outcome o = run("", with_draw({"-"}) + c.steps);
    EXPECT_EQ(o.status, 128 + SIGABRT) << c.expression;
    EXPECT_EQ(o.out, "") << c.expression;
    EXPECT_NE(o.err.find("Assertion failed: " + c.expression + ", file checkerlib"),
              std::string::npos)
        << o.err;
  }
}

}  // namespace
