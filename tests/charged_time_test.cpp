// The thinking time a player is charged under each time control, through the real programs:
// what the notes, the turn record of the replay page and the referee's log say it used agrees
// with the times of its transcript, and a time-out names the limit that fired, increments
// included. The players are small python3 scripts that hand the game to zarvo-random and pass
// its answers on after pauses of their own.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
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

// The charged times and the transcript's come from the same readings of the clock: they differ
// by their rounding to milliseconds only, however loaded the machine.
constexpr double kRounding = 0.005;

// Passes every line to zarvo-random and each of its answers back after the pause given for it
// (a list of seconds as its first argument); after the last, it never answers.
const char* const kRelayBot =
    "import subprocess, sys, threading, time\n"
    "pauses = [float(x) for x in sys.argv[1].split(',')]\n"
    "child = subprocess.Popen([sys.argv[2]], stdin=subprocess.PIPE, stdout=subprocess.PIPE,\n"
    "                         text=True)\n"
    "def answer():\n"
    "    for n, line in enumerate(child.stdout):\n"
    "        time.sleep(pauses[n] if n < len(pauses) else 60)\n"
    "        sys.stdout.write(line)\n"
    "        sys.stdout.flush()\n"
    "threading.Thread(target=answer, daemon=True).start()\n"
    "for line in sys.stdin:\n"
    "    child.stdin.write(line)\n"
    "    child.stdin.flush()\n";

class ChargedTime : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir_template[] = "/tmp/charged-time-test.XXXXXX";
    dir_ = ::mkdtemp(dir_template);
    // The sandboxed players run as users of their own when the tests run as root.
    fs::permissions(dir_,
                    fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                        fs::perms::others_exec,
                    fs::perm_options::add);
    std::ofstream(dir_ / "relay.py") << kRelayBot;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // A game of the relay bot, pausing as told, against zarvo-random, with a transcript.
  ProgramRun play(const std::string& pauses, std::vector<std::string> options) {
    std::vector<std::string> args = {
        "/usr/bin/env", "-C",       dir_.string(), kBin + "/zarvo-arena",
        "match",        "--dir",    "out",         "--id",
        "g1",           "--ro-dir", kBin,          "--transcript"};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {"python3 relay.py " + pauses + " " + kBin + "/zarvo-random",
                             kBin + "/zarvo-random"});
    return test_support::run_program(args);
  }

  std::string game_file(const std::string& suffix) const {
    return read_file(dir_ / "out" / "refereelogs" / ("relay-zarvo_random.g1." + suffix));
  }

  // Player 1's thinking time of each answer by its transcript: from the last line it was sent
  // to its answer or to the moment its time ran out.
  std::vector<double> transcript_answers() const {
    std::vector<double> answers;
    double sent_at = 0;
    std::istringstream transcript(game_file("transcript.txt"));
    for (std::string line; std::getline(transcript, line);) {
      std::istringstream fields(line);
      double time = 0;
      std::string who;
      if (line.starts_with("#") || !(fields >> time >> who) || who[0] != '1') continue;
      if (who[1] == '<') sent_at = time;
      if (who[1] == '>' || who[1] == '!') answers.push_back(time - sent_at);
    }
    return answers;
  }

  // Player 1's charged time of each turn on the replay page.
  std::vector<double> recorded_turns() const {
    const std::string script = game_file("turns.js");
    const std::string prefix = "zarvoTurnRecord(";
    EXPECT_TRUE(script.starts_with(prefix)) << script;
    const auto json =
        nlohmann::json::parse(script.substr(prefix.size(), script.rfind(')') - prefix.size()));
    std::vector<double> turns;
    for (const auto& turn : json["players"][0]["turns"])
      turns.push_back(turn["ms"].get<int>() / 1e3);
    return turns;
  }

  // Player 1's thinking time as the referee asked for it and logged it.
  double logged_time() const {
    std::smatch match;
    const std::string log = game_file("log");
    EXPECT_TRUE(std::regex_search(
        log, match, std::regex(R"(Player 1 used in milliseconds: +\d+ \( *(\d+) ms)")))
        << log;
    return match.empty() ? -1 : std::stoi(match[1]) / 1e3;
  }

  // The charged times of the turn record, each of its transcript's, and the log's total.
  void expect_charged_as_transcript() const {
    const std::vector<double> answers = transcript_answers();
    const std::vector<double> turns = recorded_turns();
    ASSERT_EQ(turns.size(), answers.size());
    double total = 0;
    for (std::size_t i = 0; i < turns.size(); ++i) {
      EXPECT_NEAR(turns[i], answers[i], kRounding) << "turn " << i + 1;
      total += answers[i];
    }
    EXPECT_NEAR(logged_time(), total, kRounding * static_cast<double>(answers.size()));
    // usage.txt keeps the same charge for a tournament to read back.
    std::smatch think;
    const std::string usage = game_file("usage.txt");
    ASSERT_TRUE(std::regex_search(usage, think, std::regex(R"(player1 .*think_ms=(\d+))")))
        << usage;
    EXPECT_NEAR(std::stoi(think[1]) / 1e3, logged_time(), 0.0015) << usage;
  }

  fs::path dir_;
};

TEST_F(ChargedTime, ATimeOutUnderTheGamesLimitChargesTheLimit) {
  // A limit that leaves the first answer time to start python on a loaded machine.
  ProgramRun run = play("0.2", {"--time-limit", "2"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("relay (player 1) was disqualified: TIMEOUT in move 3"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("it was charged 2.00 s of thinking time, its limit is 2.00 s\n"),
            std::string::npos)
      << run.err;
  expect_charged_as_transcript();
}

TEST_F(ChargedTime, UnderAnIncrementTheTimeUsedIsChargedAndTheLimitCountsTheIncrements) {
  ProgramRun run = play("0.2,0.3", {"--time-limit", "2", "--increment", "500ms"});
  ASSERT_EQ(run.status, 0) << run.err;
  // Two answers in time earned two increments; the third ran through what was left of them.
  EXPECT_NE(run.err.find("it was charged 3.00 s of thinking time, its limit is 2.00 s plus "
                         "1.00 s of increments earned\n"),
            std::string::npos)
      << run.err;
  expect_charged_as_transcript();
  EXPECT_NEAR(logged_time(), 3.0, kRounding);
}

TEST_F(ChargedTime, TheMoveLimitIsNamedAndChargedForItsAnswerAlone) {
  ProgramRun run = play("0.1,0.1", {"--time-limit", "3", "--move-limit", "300ms"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string said =
      "it was charged 0.30 s of thinking time for this answer, its move limit is 0.30 s "
      "(--move-limit)";
  EXPECT_NE(run.err.find(said), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("its limit is 3.00 s"), std::string::npos) << run.err;
  EXPECT_NE(game_file("notes.json").find(said), std::string::npos) << game_file("notes.json");
  expect_charged_as_transcript();
  EXPECT_NEAR(recorded_turns().back(), 0.3, kRounding);
}

}  // namespace
