// A bot author reproducing a game from its log alone: `replay` sends a seat's lines to a bot
// again and sets its answers beside the game's, `--print` writes those lines for a debugger's
// input, `--until` leaves the bot waiting after a move, `show` draws the board after a move; a
// damaged log is refused with a clear error.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/process_check.h"
#include "tests/support/test_files.h"

namespace fs = std::filesystem;
using test_support::ProgramRun;
using test_support::read_file;

namespace {

const std::string kBin = ZARVO_BIN_DIR;
const std::string kGreedy = kBin + "/zarvo-greedy --seed 7";

class Replay : public ::testing::Test {
 protected:
  // One game for every case: the deterministic greedy bot against a random one, on fixed tiles.
  static void SetUpTestSuite() {
    dir_ = fs::temp_directory_path() / ("replay-test." + std::to_string(::getpid()));
    fs::create_directories(dir_);
    // The sandboxed players run as users of their own when the tests run as root.
    ::chmod(dir_.c_str(), 0755);
    test_support::write_tile_script(dir_ / "tiles.txt");
    ProgramRun run =
        arena({"match", "--dir", (dir_ / "out").string(), "--id", "g1", "--tiles",
               (dir_ / "tiles.txt").string(), kGreedy, kBin + "/zarvo-random --seed 3"});
    ASSERT_EQ(run.status, 0) << run.err;
    log_ = dir_ / "out/refereelogs/zarvo_greedy-zarvo_random.g1.log";
    std::ifstream in(log_);
    std::regex round("Round (\\d+) player (\\d): (..)......(.)");
    for (std::string line; std::getline(in, line);) {
      std::smatch m;
      if (std::regex_match(line, m, round) && m[2] == "1")
        answers_[std::stoi(m[1])] = m[3].str() + m[4].str();
    }
    ASSERT_GT(answers_.size(), 5u);
  }
  static void TearDownTestSuite() { fs::remove_all(dir_); }

  static ProgramRun arena(std::vector<std::string> args) {
    args.insert(args.begin(), kBin + "/zarvo-arena");
    return test_support::run_program(args);
  }

  static inline fs::path dir_, log_;
  static inline std::map<int, std::string> answers_;  // player 1's, by move
};

TEST_F(Replay, ReproducesTheRecordedAnswersAndMarksTheFirstDifference) {
  ProgramRun same =
      arena({"replay", log_.string(), "--seat", "1", "--", kBin + "/zarvo-greedy", "--seed", "7"});
  EXPECT_EQ(same.status, 0) << same.out << same.err;
  for (const auto& [move, answer] : answers_) {
    std::regex line("move +" + std::to_string(move) + "  recorded " + answer + " +answered " +
                    answer + "\n");
    EXPECT_TRUE(std::regex_search(same.out, line)) << move << " " << answer << "\n" << same.out;
  }
  EXPECT_NE(same.out.find("every answer matched: " + std::to_string(answers_.size())),
            std::string::npos)
      << same.out;

  // Another bot, given as one word, without a sandbox.
  ProgramRun other = arena(
      {"replay", log_.string(), "--seat", "1", "--no-sandbox", kBin + "/zarvo-random --seed 11"});
  EXPECT_EQ(other.status, 1) << other.out << other.err;
  auto marked = other.out.find("<-- first difference");
  ASSERT_NE(marked, std::string::npos) << other.out;
  EXPECT_EQ(other.out.find("<-- first", marked + 1), std::string::npos) << other.out;
  EXPECT_NE(other.out.find("the answers differ from move "), std::string::npos) << other.out;
}

TEST_F(Replay, PrintedLinesFedThroughAPipeGiveTheSameAnswers) {
  ProgramRun piped = test_support::run_program(
      {"/bin/sh", "-c", "\"$0\" replay \"$1\" --seat 1 --print | " + kGreedy, kBin + "/zarvo-arena",
       log_.string()});
  ASSERT_EQ(piped.status, 0) << piped.err;
  std::string expected;
  for (const auto& [move, answer] : answers_) expected += answer + "\n";
  EXPECT_EQ(piped.out, expected);

  ProgramRun lines = arena({"replay", log_.string(), "--seat", "2", "--print", "--until", "3"});
  ASSERT_EQ(lines.status, 0) << lines.err;
  // Seat 2 hears of the game only once move 1 is laid: its colour, the start move, move 1; then
  // its tile of move 2 and move 3.
  auto received = test_support::lines_of(lines.out);
  ASSERT_EQ(received.size(), 5u) << lines.out;
  EXPECT_EQ(received[0], "2");
  EXPECT_EQ(received[1].substr(0, 2), "Hh");
  EXPECT_EQ(received[2].substr(0, 2) + received[2].back(), answers_.at(1));
  EXPECT_EQ(received[3].size(), 6u);
  EXPECT_EQ(received[4].substr(0, 2) + received[4].back(), answers_.at(3));
}

TEST_F(Replay, UntilLeavesTheBotWaitingWithItsInputOpen) {
  // The bot tells its process id, then is the greedy bot.
  const fs::path bot = dir_ / "held-bot";
  std::ofstream(bot) << "#!/bin/sh\necho $$ > held.pid\nexec " << kGreedy << "\n";
  fs::permissions(bot, fs::perms::owner_all, fs::perm_options::add);
  const fs::path out = dir_ / "until.out";
  pid_t pid = test_support::start_program({kBin + "/zarvo-arena", "replay", log_.string(), "--seat",
                                           "1", "--until", "5", "--no-sandbox", bot.string()},
                                          out.string());
  ASSERT_GT(pid, 0);
  // The answer to move 5 is printed, then the replay holds the bot, which ends only when a stop
  // signal comes (Ctrl-C's SIGINT at a terminal; SIGTERM here, which a test run in the
  // background does not ignore), since its input stays open.
  for (int i = 0; i < 600 && read_file(out).find("move   5") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_NE(read_file(out).find("move   5"), std::string::npos) << read_file(out);
  const pid_t held = std::stoi(read_file(dir_ / "held.pid"));
  EXPECT_EQ(::kill(held, 0), 0) << "the bot is still there";
  ::kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const std::string text = read_file(out);
  EXPECT_NE(text.find("every answer matched: 3 of 3 up to move 5"), std::string::npos) << text;
  EXPECT_EQ(text.find("move   7"), std::string::npos) << text;
  EXPECT_NE(::kill(held, 0), 0) << "the bot ended with the replay";
}

TEST_F(Replay, AnIllegalAnswerIsReproducedFromItsDisqualification) {
  const fs::path bot = dir_ / "illegal-bot";
  std::ofstream(bot) << "#!/bin/sh\nwhile read l; do case ${#l} in 6) echo Hhx;; esac; done\n";
  fs::permissions(bot, fs::perms::owner_all, fs::perm_options::add);
  ASSERT_EQ(arena({"match", "--dir", (dir_ / "out").string(), "--id", "g2", "--no-sandbox",
                   kBin + "/zarvo-random", bot.string()})
                .status,
            0);
  const fs::path log = dir_ / "out/refereelogs/zarvo_random-illegal_bot.g2.log";
  ProgramRun same = arena({"replay", log.string(), "--seat", "2", "--no-sandbox", bot.string()});
  EXPECT_EQ(same.status, 0) << same.out << same.err;
  EXPECT_NE(same.out.find("move   2  recorded Hhx    answered Hhx\n"), std::string::npos)
      << same.out;
  // Told "Quit" at its disqualification, and again at the end of the game.
  ProgramRun lines = arena({"replay", log.string(), "--seat", "2", "--print"});
  EXPECT_TRUE(lines.out.ends_with("\nQuit\nQuit\n")) << lines.out;
  EXPECT_EQ(test_support::lines_of(lines.out).size(), 6u) << lines.out;
}

TEST_F(Replay, ShowDrawsTheBoardWithThePointsOfTheLog) {
  ProgramRun end = arena({"show", log_.string()});
  ASSERT_EQ(end.status, 0) << end.err;
  const std::string text = read_file(log_);
  std::smatch points;
  ASSERT_TRUE(std::regex_search(text, points,
                                std::regex("Player 1 gained (\\d+) points\nPlayer 2 gained "
                                           "(\\d+) points")));
  EXPECT_NE(end.out.find("player 1 zarvo_greedy: colour 4, " + points[1].str() + " points\n"),
            std::string::npos)
      << end.out;
  EXPECT_NE(end.out.find("player 2 zarvo_random: colour 2, " + points[2].str() + " points\n"),
            std::string::npos)
      << end.out;
  EXPECT_NE(end.out.find("the game ended"), std::string::npos) << end.out;
  for (const std::string& line : test_support::lines_of(end.out)) EXPECT_LE(line.size(), 80u);

  ProgramRun first = arena({"show", log_.string(), "--move", "1"});
  ASSERT_EQ(first.status, 0) << first.err;
  // The start tile and move 1's tile, the latter in brackets; nobody has points yet.
  EXPECT_EQ(std::count(first.out.begin(), first.out.end(), '['), 12) << first.out;
  EXPECT_NE(first.out.find("player 1 zarvo_greedy: colour 4, 0 points"), std::string::npos)
      << first.out;
  EXPECT_NE(first.out.find("next: move 2, player 2 places the tile "), std::string::npos)
      << first.out;
  EXPECT_EQ(first.out.find('\x1b'), std::string::npos) << "no colours on a pipe";
}

TEST_F(Replay, DamagedLogsAreRefusedClearly) {
  const std::string text = read_file(log_);
  const fs::path bad = dir_ / "bad.log";
  auto refused = [&](const std::string& log_text, const std::string& why) {
    std::ofstream(bad, std::ios::trunc) << log_text;
    for (const auto& args :
         {std::vector<std::string>{"replay", bad.string(), "--seat", "1", "--no-sandbox", kGreedy},
          std::vector<std::string>{"show", bad.string()}}) {
      ProgramRun run = arena(args);
      EXPECT_EQ(run.status, 2) << why << ": " << run.out << run.err;
      EXPECT_NE(run.err.find(why), std::string::npos) << run.err;
      EXPECT_TRUE(run.out.empty() || args[0] == "show") << run.out;
    }
  };
  const std::string cut = text.substr(0, text.find("Round 10 "));
  std::ofstream(bad) << cut;
  ProgramRun replay = arena({"replay", bad.string(), "--seat", "1", kGreedy});
  EXPECT_EQ(replay.status, 2) << replay.err;
  EXPECT_NE(replay.err.find("the game does not end in it: cut short?"), std::string::npos)
      << replay.err;
  ProgramRun shown = arena({"show", bad.string()});
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_NE(shown.out.find("after move 9 of 9"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("the log ends before the game did"), std::string::npos) << shown.out;
  refused(text.substr(0, text.find("Round 10 ") + 20), "is no move");
  refused("\x01\x02garbage\n", "not a game log");
  refused(text.substr(0, text.find("Round 1 ")) + std::string(100000, 'x') + "\n", "longer than");
  refused(std::regex_replace(text, std::regex("Round 3 player 1: .."), "Round 3 player 1: Aa"),
          "no legal placement");
  refused(std::regex_replace(text, std::regex("Round 4 "), "Round 99999999999 "), "malformed");
  refused(std::regex_replace(text, std::regex("Colours: 4"), "Colours: 9"), "colours");
  EXPECT_EQ(arena({"show", (dir_ / "missing.log").string()}).status, 2);
  EXPECT_EQ(arena({"replay", log_.string(), "--seat", "3", kGreedy}).status, 2);
}

}  // namespace
