// zarvo-arena sprt through the real program: zarvo-greedy against zarvo-random until the test
// decides, on paired tile scripts; sprt.json read back as JSON; a run interrupted by SIGINT
// and resumed, and one stopped at --max-pairs and taken further, each reaching the decision an
// uninterrupted run reaches; and the command lines it refuses.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "arena/series/game_record.h"
#include "tests/support/process_check.h"
#include "tests/support/test_files.h"

namespace {
namespace fs = std::filesystem;
using test_support::lines_of;
using test_support::read_file;
using test_support::run_program;

const std::string kBin = ZARVO_BIN_DIR;
const std::string kArena = kBin + "/zarvo-arena";

nlohmann::json read_json(const fs::path& file) {
  // Throws on anything that is not JSON, "inf" or "nan" included.
  return nlohmann::json::parse(read_file(file));
}

class SprtTest : public ::testing::Test {
 protected:
  void SetUp() override { root_ = test_support::fresh_test_dir("zarvo_sprt_"); }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(root_);
  }

  // Greedy against random, both deterministic; on tile seed 1 the test accepts H1 after six
  // pairs (scores 3/2, 1, 1, 2, 2, 2 for greedy).
  static std::vector<std::string> command(const fs::path& dir, const std::string& greedy,
                                          std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {kArena,          "sprt",
                                     "--dir",         dir.string(),
                                     "--player",      "greedy=" + greedy,
                                     "--player",      "random=" + kBin + "/zarvo-random --seed 2",
                                     "--elo0",        "0",
                                     "--elo1",        "100",
                                     "--seed",        "1",
                                     "--time-limit",  "30",
                                     "--concurrency", "2"};
    // A shell player hands over to the sample bots, which its sandbox must then show.
    args.insert(args.end(), {"--ro-dir", kBin});
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }
  static std::string greedy() { return kBin + "/zarvo-greedy --seed 1"; }

  fs::path root_;
};

// What greedy scored in a game, in half points, read from its log.
int greedy_half_points(const fs::path& dir, const fs::path& log) {
  auto record = arena::series::read_game_record(dir, log);
  EXPECT_TRUE(record.has_value()) << log;
  if (!record) return -1;
  int side = record->names[0] == "greedy" ? 0 : 1;
  int mine = record->values[side], theirs = record->values[1 - side];
  EXPECT_EQ(record->texts[0].find("ILLEGAL"), std::string::npos);
  return mine > theirs ? 2 : mine == theirs ? 1 : 0;
}

TEST_F(SprtTest, GreedyAgainstRandomAcceptsH1OnPairedTileScripts) {
  fs::path dir = root_ / "run";
  auto run = run_program(command(dir, greedy(), {"--max-pairs", "30"}));
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("\nH1 accepted: greedy is at least 100 Elo stronger than random\n"),
            std::string::npos)
      << run.out;

  nlohmann::json json = read_json(dir / "sprt.json");
  for (const char* key : {"pentanomial", "llr", "lower", "upper", "elo", "elo_low", "elo_high",
                          "los", "pairs", "result"}) {
    EXPECT_TRUE(json.contains(key)) << key;
  }
  EXPECT_EQ(json["result"], "H1");
  long long pairs = json["pairs"].get<long long>();
  EXPECT_EQ(pairs, 6);
  ASSERT_EQ(json["pentanomial"].size(), 5u);
  long long sum = 0;
  for (const auto& count : json["pentanomial"]) sum += count.get<long long>();
  EXPECT_EQ(sum, pairs);
  EXPECT_NEAR(json["lower"].get<double>(), -2.944439, 1e-6);
  EXPECT_NEAR(json["upper"].get<double>(), 2.944439, 1e-6);
  EXPECT_GE(json["llr"].get<double>(), json["upper"].get<double>());
  EXPECT_LE(json["elo_low"].get<double>(), json["elo"].get<double>());
  EXPECT_LE(json["elo"].get<double>(), json["elo_high"].get<double>());
  EXPECT_GT(json["los"].get<double>(), 0.99);

  // One progress line per pair, plain lines off a terminal.
  int progress = 0;
  for (const auto& line : lines_of(run.out)) progress += line.starts_with("pairs ");
  EXPECT_EQ(progress, pairs) << run.out;
  EXPECT_EQ(run.out.find('\r'), std::string::npos);
  EXPECT_NE(run.out.find("pairs 6 (12 games)  ["), std::string::npos) << run.out;

  // Each pair: greedy first on a tile script, then random first on the same one; the logs
  // were played on it, and they give the pentanomial.
  fs::path logs = dir / "refereelogs";
  std::vector<long long> counts(5, 0);
  for (int k = 1; k <= pairs; ++k) {
    std::string first = "greedy-random." + std::to_string(2 * k - 1);
    std::string second = "random-greedy." + std::to_string(2 * k);
    std::string script = read_file(logs / (first + ".tiles.txt"));
    ASSERT_FALSE(script.empty()) << first;
    EXPECT_EQ(read_file(logs / (second + ".tiles.txt")), script) << "pair " << k;
    if (k > 1) {
      EXPECT_NE(read_file(logs / "greedy-random.1.tiles.txt"), script) << "a script per pair";
    }
    std::string colours = lines_of(script)[0];
    colours.replace(colours.find(' '), 1, ", ");
    EXPECT_NE(read_file(logs / (first + ".log")).find("Colours: " + colours), std::string::npos);
    EXPECT_NE(read_file(logs / (second + ".log")).find("Colours: " + colours), std::string::npos);
    ++counts[greedy_half_points(dir, logs / (first + ".log")) +
             greedy_half_points(dir, logs / (second + ".log"))];
  }
  for (int k = 0; k < 5; ++k) EXPECT_EQ(json["pentanomial"][k].get<long long>(), counts[k]) << k;
  // Nothing of a later pair is left: the directory holds the test's games only.
  EXPECT_FALSE(fs::exists(logs / ("greedy-random." + std::to_string(2 * pairs + 1) + ".log")));
  EXPECT_FALSE(fs::exists(logs / ("random-greedy." + std::to_string(2 * pairs + 2) + ".log")));

  // Run again: nothing is played, the same decision is reported.
  std::string decided = read_file(dir / "sprt.json");
  auto again = run_program(command(dir, greedy(), {"--max-pairs", "30"}));
  ASSERT_EQ(again.status, 0) << again.out << again.err;
  EXPECT_NE(again.out.find("resuming: 6 pairs already played"), std::string::npos) << again.out;
  EXPECT_NE(again.out.find("H1 accepted"), std::string::npos);
  EXPECT_EQ(read_file(dir / "sprt.json"), decided);

  // Pair 3 lost, and stray games of a pair after the decision: the rerun counts pairs 1 and
  // 2, plays pair 3 again, takes pairs 4 to 6 as they are (they were played on their own
  // tile scripts, whatever order the pairs finished in), decides at pair 6 again and removes
  // the stray games.
  fs::remove(logs / "greedy-random.5.log");
  fs::remove(logs / "random-greedy.6.log");
  fs::copy_file(logs / "greedy-random.1.log", logs / "greedy-random.15.log");
  fs::copy_file(logs / "random-greedy.2.log", logs / "random-greedy.16.log");
  auto pair4 = fs::last_write_time(logs / "greedy-random.7.log");
  auto gap = run_program(command(dir, greedy(), {"--max-pairs", "30"}));
  ASSERT_EQ(gap.status, 0) << gap.out << gap.err;
  EXPECT_NE(gap.out.find("resuming: 2 pairs already played"), std::string::npos) << gap.out;
  EXPECT_NE(gap.out.find("pairs 3 (6 games)"), std::string::npos) << gap.out;
  EXPECT_EQ(fs::last_write_time(logs / "greedy-random.7.log"), pair4) << "pair 4 not replayed";
  EXPECT_EQ(read_file(dir / "sprt.json"), decided);
  EXPECT_FALSE(fs::exists(logs / "greedy-random.15.log"));
  EXPECT_FALSE(fs::exists(logs / "random-greedy.16.log"));
}

TEST_F(SprtTest, AnInterruptedRunResumesToTheSameDecision) {
  fs::path reference = root_ / "reference";
  ASSERT_EQ(run_program(command(reference, greedy())).status, 0);

  // The same greedy behind a pipeline that slows its answers down, so that games are still
  // running when the signal comes.
  test_support::adopt_orphans();
  std::string marker = "sprtmarker" + std::to_string(::getpid());
  std::string slow = "sh -c '" + kBin +
                     "/zarvo-greedy --seed 1 | while IFS= read -r line; do sleep 0.03; "
                     "printf \"%s\\n\" \"$line\"; done' " +
                     marker;
  fs::path dir = root_ / "interrupted";
  auto args = command(dir, slow);
  fs::path out_file = root_ / "out.txt";
  pid_t pid = test_support::start_program(args, out_file.string());
  ASSERT_GE(pid, 0);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (read_file(out_file).find("pairs 1 ") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_NE(read_file(out_file).find("pairs 1 "), std::string::npos);
  ::kill(pid, SIGINT);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT);
  EXPECT_TRUE(test_support::processes_with(marker).empty());
  std::string out = read_file(out_file);
  EXPECT_NE(out.find("stopped; run the same command again to go on"), std::string::npos) << out;

  nlohmann::json json = read_json(dir / "sprt.json");
  long long pairs = json["pairs"].get<long long>();
  EXPECT_GE(pairs, 1);
  EXPECT_LT(pairs, 6) << out;
  EXPECT_TRUE(json["result"].is_null());

  auto rerun = run_program(args);
  ASSERT_EQ(rerun.status, 0) << rerun.out << rerun.err;
  EXPECT_NE(rerun.out.find("resuming: " + std::to_string(pairs) +
                           (pairs == 1 ? " pair" : " pairs") + " already played"),
            std::string::npos)
      << rerun.out;
  EXPECT_NE(rerun.out.find("H1 accepted"), std::string::npos) << rerun.out;
  EXPECT_EQ(read_file(dir / "sprt.json"), read_file(reference / "sprt.json"));
  EXPECT_TRUE(test_support::processes_with(marker).empty());
}

TEST_F(SprtTest, MaxPairsEndsUndecidedAndAHigherLimitGoesOn) {
  // On tile seed 5 greedy wins the first six pairs 2-0: no spread, so the LLR stays 0, and the
  // Elo estimate is infinite, which sprt.json writes as null.
  fs::path dir = root_ / "limited";
  auto args = command(dir, greedy(), {"--max-pairs", "2"});
  args[13] = "5";
  auto run = run_program(args);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("\nno decision after 2 pairs: "), std::string::npos) << run.out;
  nlohmann::json json = read_json(dir / "sprt.json");
  EXPECT_EQ(json["pairs"], 2);
  EXPECT_EQ(json["pentanomial"], nlohmann::json::array({0, 0, 0, 0, 2}));
  EXPECT_EQ(json["llr"], 0.0);
  EXPECT_TRUE(json["elo"].is_null());
  EXPECT_TRUE(json["result"].is_null());
  EXPECT_EQ(read_file(dir / "sprt.json").find("inf"), std::string::npos);

  // A higher limit takes the same test further, to its decision at the seventh pair.
  args[args.size() - 1] = "20";
  auto more = run_program(args);
  ASSERT_EQ(more.status, 0) << more.out << more.err;
  EXPECT_NE(more.out.find("resuming: 2 pairs already played"), std::string::npos) << more.out;
  EXPECT_NE(more.out.find("H1 accepted"), std::string::npos) << more.out;
  json = read_json(dir / "sprt.json");
  EXPECT_EQ(json["pairs"], 7);
  EXPECT_EQ(json["result"], "H1");
}

TEST_F(SprtTest, ATerminalSeesOneLineRewrittenInPlace) {
  if (std::system("script --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "script (util-linux) is not installed";
  fs::path dir = root_ / "tty";
  std::string line;
  for (const auto& word : command(dir, greedy())) line += "'" + word + "' ";
  // script gives the command a pseudo-terminal and copies what it shows to standard output.
  auto run = run_program({"/usr/bin/script", "-qec", line, "/dev/null"});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("\r\033[Kpairs 1 (2 games)"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("\r\033[Kpairs 6 (12 games)"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("\npairs "), std::string::npos) << "no line of its own per pair";
  EXPECT_NE(run.out.find("H1 accepted"), std::string::npos);
}

TEST_F(SprtTest, BadCommandLinesAndForeignDirectoriesAreRefused) {
  fs::path dir = root_ / "bad";
  auto refused = [&](std::vector<std::string> args, const std::string& message) {
    auto run = run_program(args);
    EXPECT_EQ(run.status, 2) << message;
    EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
  };
  auto with = [&](std::vector<std::string> extra) { return command(dir, greedy(), extra); };
  refused(with({"--elo1", "0"}), "--elo0 must be below --elo1");
  refused(with({"--elo0", "200"}), "--elo0 must be below --elo1");
  refused(with({"--alpha", "0"}), "--alpha must lie strictly between 0 and 1");
  refused(with({"--beta", "1"}), "--beta must lie strictly between 0 and 1");
  refused(with({"--alpha", "0.5", "--beta", "0.5"}), "--alpha plus --beta must be below 1");
  refused(with({"--max-pairs", "0"}), "--max-pairs: \"0\" is not a whole number from 1");
  refused(with({"--elo1", "ten"}), "--elo1: \"ten\" is not a number");
  refused(with({"--games-per-pair", "2"}), "unknown option --games-per-pair");
  refused(with({"--time-limit", "-1"}), "--time-limit");
  refused(with({"--player", "third=" + kBin + "/zarvo-random"}), "give exactly two players");
  refused({kArena, "sprt", "--dir", dir.string(), "--player", kBin + "/zarvo-random", "--player",
           kBin + "/zarvo-greedy", "--elo0", "0"},
          "give both hypotheses with --elo0 and --elo1");
  refused({kArena, "sprt", "--player", kBin + "/zarvo-random", "--player", kBin + "/zarvo-greedy",
           "--elo0", "0", "--elo1", "5"},
          "--dir");
  EXPECT_FALSE(fs::exists(dir)) << "nothing is made for a refused command";

  // Another test in the same directory is refused; so is a tournament, and the other way round.
  ASSERT_EQ(run_program(with({"--max-pairs", "1"})).status, 0);
  refused(command(dir, greedy(), {"--max-pairs", "1", "--elo1", "50"}), "holds another SPRT test");
  refused({kArena, "tournament", "--dir", dir.string(), "--player", kBin + "/zarvo-random",
           "--player", kBin + "/zarvo-greedy"},
          "holds an SPRT test");
  fs::path tournament = root_ / "tournament";
  ASSERT_EQ(run_program({kArena, "tournament", "--dir", tournament.string(), "--player",
                         kBin + "/zarvo-random", "--player", kBin + "/zarvo-greedy"})
                .status,
            0);
  refused(command(tournament, greedy()), "holds a tournament");

  auto help = run_program({kArena, "sprt", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--elo0 E0, --elo1 E1"), std::string::npos);
  EXPECT_NE(help.out.find("--time-limit"), std::string::npos);
}

}  // namespace
