// zarvo-arena tournament and zarvo-arena standings, through the real programs:
// small tournaments between the sample bots (seeded, so every game is
// reproducible), resumed, interrupted, rebuilt from their logs, and played as
// emitted jobs by GNU parallel.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "arena/shell_words.h"
#include "arena/tournament/game_record.h"
#include "arena/tournament/match_jobs.h"
#include "arena/tournament/standings.h"
#include "arena/tournament/tile_script.h"
#include "arena/tournament/tournament_plan.h"
#include "arena/tournament/tournament_reports.h"
#include "tests/support/process_check.h"

namespace {
namespace fs = std::filesystem;
using namespace arena::tournament;
using test_support::run_program;

const std::string kBin = ZARVO_BIN_DIR;
const std::string kArena = kBin + "/zarvo-arena";

std::string slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> split_csv_simple(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(line);
  while (std::getline(in, field, ',')) fields.push_back(field);
  if (!line.empty() && line.back() == ',') fields.push_back("");
  return fields;
}

class TournamentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = fs::temp_directory_path() /
            ("zarvo_tournament_" + std::string(info->name()) + "_" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(root_);
  }

  // Deterministic players: both sample bots take a seed for their own choices.
  static std::vector<std::string> three_players() {
    return {"--player", "greedy=" + kBin + "/zarvo-greedy --seed 1",
            "--player", "random=" + kBin + "/zarvo-random --seed 2",
            "--player", "other=" + kBin + "/zarvo-random --seed 3"};
  }

  test_support::ProgramRun tournament(const fs::path& dir, std::vector<std::string> extra) {
    std::vector<std::string> args = {kArena,  "tournament",   "--dir", dir.string(),    "--seed",
                                     "fixed", "--time-limit", "5",     "--concurrency", "2"};
    args.insert(args.end(), extra.begin(), extra.end());
    return run_program(args);
  }

  fs::path root_;
};

// Rows of results.csv without its header.
std::vector<std::vector<std::string>> result_rows(const fs::path& dir) {
  std::vector<std::vector<std::string>> rows;
  auto lines = lines_of(slurp(dir / "results.csv"));
  for (std::size_t i = 1; i < lines.size(); ++i) rows.push_back(split_csv_simple(lines[i]));
  return rows;
}

TEST_F(TournamentTest, RoundRobinOfThreePlaysEveryPairBothWaysAndWritesItsFiles) {
  fs::path dir = root_ / "rr";
  auto args = three_players();
  args.insert(args.end(), {"--games-per-pair", "2"});
  auto run = tournament(dir, args);
  ASSERT_EQ(run.status, 0) << run.out << run.err;

  auto lines = lines_of(slurp(dir / "results.csv"));
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0],
            "game,player1,player2,first_player,result1,result2,text1,"
            "text2,disqualified,log,page");
  std::set<std::pair<std::string, std::string>> orders;
  int number = 0;
  for (const auto& row : result_rows(dir)) {
    ASSERT_EQ(row.size(), 11u);
    EXPECT_EQ(row[0], std::to_string(++number));
    EXPECT_EQ(row[3], row[1]) << "player 1 moves first";
    orders.insert({row[1], row[2]});
    int v1 = std::stoi(row[4]), v2 = std::stoi(row[5]);
    if (row[6] == "WIN") {
      EXPECT_TRUE(v1 >= 200 && row[7] == "LOSE" && v2 <= 100);
    } else if (row[6] == "DRAW") {
      EXPECT_TRUE(v1 == 150 && v2 == 150 && row[7] == "DRAW");
    } else {
      EXPECT_TRUE(row[6] == "LOSE" && v1 <= 100 && row[7] == "WIN" && v2 >= 200);
    }
    EXPECT_EQ(row[8], "") << "no disqualification between the sample bots";
    EXPECT_EQ(row[9], "refereelogs/" + row[1] + "-" + row[2] + "." + row[0] + ".log");
    EXPECT_EQ(row[10], "refereelogs/" + row[1] + "-" + row[2] + "." + row[0] + ".html");
    EXPECT_TRUE(fs::exists(dir / row[9]));
    EXPECT_TRUE(fs::exists(dir / row[10]));
    // The game's own tile script lies beside it and was played: its colours
    // open the game.
    auto script = lines_of(
        slurp(dir / "refereelogs" / (row[1] + "-" + row[2] + "." + row[0] + ".tiles.txt")));
    ASSERT_FALSE(script.empty());
    std::string colours = script[0];
    colours.replace(colours.find(' '), 1, ", ");
    EXPECT_NE(slurp(dir / row[9]).find("Colours: " + colours), std::string::npos);
  }
  EXPECT_EQ(orders.size(), 6u) << "each of the three pairings once in each order";

  std::string standings = slurp(dir / "standings.txt");
  std::set<std::string> ranked;
  for (const auto& line : lines_of(standings)) {
    std::istringstream words(line);
    std::string rank, name;
    int games = 0, wins = 0, draws = 0, losses = 0;
    if (!(words >> rank >> name >> games >> wins >> draws >> losses) || rank == "Rank") continue;
    ranked.insert(name);
    EXPECT_EQ(games, 4) << line;
    EXPECT_EQ(wins + draws + losses, 4) << line;
  }
  EXPECT_EQ(ranked, (std::set<std::string>{"greedy", "random", "other"})) << standings;
  std::string index = slurp(dir / "index.html");
  auto standings_at = index.find("id=\"standings\"");
  auto games_at = index.find("id=\"games\"");
  ASSERT_NE(standings_at, std::string::npos);
  EXPECT_LT(standings_at, games_at) << "the page opens with the standings";
  for (const auto& row : result_rows(dir)) {
    EXPECT_NE(index.find("<a href=\"" + row[10] + "\">"), std::string::npos) << row[10];
  }
  // Not on a terminal: one plain line per game.
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '['), 6) << run.out;
  EXPECT_EQ(run.out.find('\033'), std::string::npos);
}

TEST_F(TournamentTest, GauntletPairsTheFirstPlayerWithEachOtherAlternatingWhoMovesFirst) {
  fs::path dir = root_ / "gauntlet";
  auto args = three_players();
  args.insert(args.end(), {"--player", "fourth=" + kBin + "/zarvo-greedy --seed 4", "--format",
                           "gauntlet", "--games-per-pair", "3"});
  auto run = tournament(dir, args);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  std::map<std::string, std::pair<int, int>>
      first_and_second;  // opponent: greedy first, greedy second
  for (const auto& row : result_rows(dir)) {
    ASSERT_TRUE(row[1] == "greedy" || row[2] == "greedy") << row[1] << " vs " << row[2];
    if (row[1] == "greedy") ++first_and_second[row[2]].first;
    if (row[2] == "greedy") ++first_and_second[row[1]].second;
  }
  ASSERT_EQ(first_and_second.size(), 3u);
  for (const auto& [opponent, counts] : first_and_second) {
    EXPECT_EQ(counts.first, 2) << opponent;
    EXPECT_EQ(counts.second, 1) << opponent;
  }
}

TEST_F(TournamentTest, RerunPlaysOnlyTheUnfinishedGamesAndStandingsRebuildTheSameFiles) {
  fs::path dir = root_ / "resume";
  auto args = three_players();
  ASSERT_EQ(tournament(dir, args).status, 0);
  std::string results = slurp(dir / "results.csv");
  std::string standings = slurp(dir / "standings.txt");
  std::string index = slurp(dir / "index.html");

  auto rows = result_rows(dir);
  ASSERT_EQ(rows.size(), 6u);
  fs::remove(dir / rows[3][9]);
  auto kept = fs::last_write_time(dir / rows[0][9]);
  auto rerun = tournament(dir, args);
  ASSERT_EQ(rerun.status, 0) << rerun.out << rerun.err;
  EXPECT_NE(rerun.out.find("resuming: 5 of 6 games already finished"), std::string::npos)
      << rerun.out;
  EXPECT_NE(rerun.out.find("[6/6] game 4:"), std::string::npos) << rerun.out;
  EXPECT_EQ(rerun.out.find("game 1:"), std::string::npos) << rerun.out;
  EXPECT_EQ(fs::last_write_time(dir / rows[0][9]), kept);
  EXPECT_EQ(slurp(dir / "results.csv"), results) << "the replayed game is the same game";

  // zarvo-arena standings writes the same files from the logs alone.
  for (auto file : {"results.csv", "standings.txt", "index.html"}) fs::remove(dir / file);
  auto rebuilt = run_program({kArena, "standings", dir.string()});
  ASSERT_EQ(rebuilt.status, 0) << rebuilt.err;
  EXPECT_EQ(slurp(dir / "results.csv"), results);
  EXPECT_EQ(slurp(dir / "standings.txt"), standings);
  EXPECT_EQ(slurp(dir / "index.html"), index);
  EXPECT_EQ(rebuilt.out, standings);

  // Another tournament in the same directory is refused rather than mixed in.
  auto other =
      tournament(dir, {"--player", kBin + "/zarvo-greedy", "--player", kBin + "/zarvo-random"});
  EXPECT_EQ(other.status, 2);
  EXPECT_NE(other.err.find("holds another tournament"), std::string::npos) << other.err;
}

// A player slowed down by a pipeline, so that games are still running when the
// signal comes; the marker finds every process of it afterwards. Where the
// arena's test bot is built, the player also leaves a child sleeping in its
// process group, which only the match's clean-up ends.
std::string slow_player(const std::string& marker, int seed) {
#ifdef TOURNAMENT_FORKING_BOT
  std::string bot = std::string(TOURNAMENT_FORKING_BOT) + " --mode=fork --at=1";
#else
  std::string bot = kBin + "/zarvo-random";
#endif
  return "sh -c '" + bot + " --seed " + std::to_string(seed) + " --marker=" + marker +
         " | while IFS= read -r line; do sleep 0.03; printf \"%s\\n\" "
         "\"$line\"; done' " +
         marker;
}

TEST_F(TournamentTest, InterruptStopsEveryGameKeepsFinishedOnesAndARerunCompletes) {
  test_support::adopt_orphans();
  fs::path dir = root_ / "interrupt";
  std::string marker = "tourmarker" + std::to_string(::getpid());
  std::vector<std::string> args = {kArena,
                                   "tournament",
                                   "--dir",
                                   dir.string(),
                                   "--seed",
                                   "s",
                                   "--concurrency",
                                   "2",
                                   "--games-per-pair",
                                   "4",
                                   "--player",
                                   "a=" + slow_player(marker, 1),
                                   "--player",
                                   "b=" + slow_player(marker, 2)};
  fs::path out_file = root_ / "out.txt";
  pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    int fd = ::open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(fd, 1);
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (slurp(out_file).find("[1/4]") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_NE(slurp(out_file).find("[1/4]"), std::string::npos);
  ASSERT_FALSE(test_support::processes_with(marker, 0).empty()) << "games still running";
  ::kill(pid, SIGINT);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT);
  EXPECT_TRUE(test_support::processes_with(marker).empty());
  EXPECT_TRUE(test_support::live_children().empty());

  // Every game reported as done is kept and listed; the stopped ones left no
  // log behind.
  std::string out = slurp(out_file);
  auto rows = result_rows(dir);
  ASSERT_GE(rows.size(), 1u);
  ASSERT_LT(rows.size(), 4u) << out;
  for (const auto& row : rows) {
    EXPECT_NE(out.find("game " + row[0] + ": " + row[1] + " vs " + row[2]), std::string::npos)
        << out;
  }
  EXPECT_EQ(lines_of(slurp(dir / "standings.txt"))[0],
            "Zarvo tournament standings: " + std::to_string(rows.size()) + " games");

  auto rerun = run_program(args);
  ASSERT_EQ(rerun.status, 0) << rerun.out << rerun.err;
  EXPECT_NE(rerun.out.find("resuming: " + std::to_string(rows.size()) + " of 4"),
            std::string::npos);
  EXPECT_EQ(result_rows(dir).size(), 4u);
  EXPECT_TRUE(test_support::processes_with(marker).empty());
}

TEST_F(TournamentTest, EmittedJobsRunByGnuParallelGiveTheSameStandings) {
  if (std::system("parallel --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "GNU parallel is not installed";
  auto args = three_players();
  fs::path played = root_ / "played", emitted = root_ / "emitted";
  ASSERT_EQ(tournament(played, args).status, 0);

  fs::path jobs = root_ / "jobs.txt";
  args.insert(args.end(), {"--emit-jobs", jobs.string()});
  auto emit = tournament(emitted, args);
  ASSERT_EQ(emit.status, 0) << emit.err;
  EXPECT_EQ(lines_of(slurp(jobs)).size(), 6u);
  EXPECT_FALSE(fs::exists(emitted / "results.csv")) << "nothing is played";

  // From another working directory, as on another host sharing the file system.
  auto parallel =
      run_program({"/bin/sh", "-c", "cd / && parallel --will-cite -j 2 < '" + jobs.string() + "'"});
  ASSERT_EQ(parallel.status, 0) << parallel.err;
  auto standings = run_program({kArena, "standings", emitted.string()});
  ASSERT_EQ(standings.status, 0) << standings.err;
  EXPECT_EQ(slurp(emitted / "standings.txt"), slurp(played / "standings.txt"));
  EXPECT_EQ(slurp(emitted / "results.csv"), slurp(played / "results.csv"));

  // The directory now counts as played through: no commands left to emit.
  auto again = tournament(emitted, args);
  EXPECT_EQ(again.status, 0);
  EXPECT_TRUE(slurp(jobs).empty());
}

TEST_F(TournamentTest, AGameTheRefereeFailsIsReportedAndCountsAsUnfinished) {
  fs::path dir = root_ / "failing";
  auto args = three_players();
  args.insert(args.end(), {"--games-per-pair", "1", "--referee", "/bin/false"});
  auto run = tournament(dir, args);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("game 1: match ended with exit status 1"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("0 of 3 games finished"), std::string::npos) << run.out;
  EXPECT_TRUE(result_rows(dir).empty());
  EXPECT_TRUE(fs::exists(dir / "refereelogs/greedy-random.1.arena.err"));
}

TEST_F(TournamentTest, BadCommandLinesAreRefusedClearly) {
  auto no_dir = run_program({kArena, "tournament", "--player", kBin + "/zarvo-random", "--player",
                             kBin + "/zarvo-greedy"});
  EXPECT_EQ(no_dir.status, 2);
  EXPECT_NE(no_dir.err.find("--dir"), std::string::npos);
  auto same_name = tournament(
      root_ / "x", {"--player", kBin + "/zarvo-random", "--player", kBin + "/zarvo-random"});
  EXPECT_EQ(same_name.status, 2);
  EXPECT_NE(same_name.err.find("two players are named zarvo_random"), std::string::npos)
      << same_name.err;
  auto missing =
      tournament(root_ / "y", {"--player", "a=/no/such/bot", "--player", kBin + "/zarvo-random"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("/no/such/bot"), std::string::npos) << missing.err;
  // Once the mistyped player is fixed, the same directory takes the tournament.
  auto fixed = tournament(
      root_ / "y", {"--player", "a=" + kBin + "/zarvo-greedy", "--player", kBin + "/zarvo-random"});
  EXPECT_EQ(fixed.status, 0) << fixed.err;
  auto standings = run_program({kArena, "standings", (root_ / "nothing").string()});
  EXPECT_EQ(standings.status, 2);
  // A tournament too large to schedule is refused before anything is built.
  auto huge = tournament(root_ / "z", {"--player", "a=" + kBin + "/zarvo-greedy", "--player",
                                       kBin + "/zarvo-random", "--games-per-pair", "2000000000"});
  EXPECT_EQ(huge.status, 2);
  EXPECT_NE(huge.err.find("at most 1000000"), std::string::npos) << huge.err;
}

// --- The pieces, against hand-computed values.

TEST(TournamentElo, MatchesHandComputedValues) {
  // 55 wins, 10 draws, 35 losses: p = 0.6, Elo = 400 log10(1.5) = 70.44; the
  // per-game variance is (55 * 0.16 + 10 * 0.01 + 35 * 0.36) / 100 = 0.215, so
  // p +- 1.96 * sqrt(0.00215) = 0.6 +- 0.09088; Elo(0.69088) = 139.71 and
  // Elo(0.50912) = 6.34, margin (139.71 - 6.34) / 2.
  EloEstimate elo = estimate_elo(55, 10, 35);
  EXPECT_NEAR(elo.difference, 70.44, 0.01);
  EXPECT_NEAR(elo.margin, 66.69, 0.01);
  // Even: 0 +- 53.16 for 30-40-30.
  elo = estimate_elo(30, 40, 30);
  EXPECT_NEAR(elo.difference, 0.0, 1e-9);
  EXPECT_NEAR(elo.margin, 53.16, 0.01);
  // Symmetric for the opponent's view.
  EXPECT_NEAR(estimate_elo(35, 10, 55).difference, -70.44, 0.01);
  EXPECT_TRUE(std::isinf(estimate_elo(3, 0, 0).difference));
  EXPECT_TRUE(std::isinf(estimate_elo(3, 0, 0).margin));
  EXPECT_TRUE(std::isnan(estimate_elo(0, 0, 0).difference));
}

GameRecord game(std::string a, std::string b, int va, int vb, std::string ta, std::string tb) {
  GameRecord record;
  record.id = "1";
  record.names = {a, b};
  record.values = {va, vb};
  record.texts = {ta, tb};
  return record;
}

TEST(TournamentStandings, DisqualificationsLoseAndAreCountedByReason) {
  auto standings = compute_standings({
      game("a", "b", 0, 90, "TIMEOUT",
           "LOSE"),                           // the opponent lost on points, yet wins
      game("b", "a", 0, 0, "CRASH", "EXIT"),  // both out: both lose
      game("a", "b", 150, 150, "DRAW", "DRAW"),
      game("b", "a", 230, 70, "WIN", "LOSE"),
  });
  ASSERT_EQ(standings.size(), 2u);
  const Standing& b = standings[0];
  const Standing& a = standings[1];
  EXPECT_EQ(b.name, "b");
  EXPECT_EQ(std::make_tuple(b.games, b.wins, b.draws, b.losses), std::make_tuple(4, 2, 1, 1));
  EXPECT_EQ(std::make_tuple(a.games, a.wins, a.draws, a.losses), std::make_tuple(4, 0, 1, 3));
  EXPECT_EQ(a.disqualifications[1], 1);  // TIMEOUT
  EXPECT_EQ(a.disqualifications[3], 1);  // EXIT
  EXPECT_EQ(b.disqualifications[2], 1);  // CRASH
  EXPECT_DOUBLE_EQ(b.mean_value(), (90 + 0 + 150 + 230) / 4.0);
  EXPECT_DOUBLE_EQ(a.score(), 0.5 / 4);
}

TEST(TournamentReports, GameLogsAreReadFromTheirNameAndReport) {
  fs::path dir =
      fs::temp_directory_path() / ("zarvo_tournament_logs_" + std::to_string(::getpid()));
  fs::create_directories(dir / "refereelogs");
  std::ofstream(dir / "refereelogs/alpha-beta.12.log")
      << "Colours: 3, 1\n\nPlayer 2 used in milliseconds: 1 (1 ms in real "
         "time)\n\n"
         "Manager report: PLAYER_2:_TIMEOUT;_PLAYER_1:_LOSE Score: 40-0.\n";
  std::ofstream(dir / "refereelogs/alpha-beta.13.log") << "Colours: 3, 1\nRound 1\n";  // cut short
  std::ofstream(dir / "refereelogs/notes.log") << "Manager report: X Score: 1-1.\n";
  LogScan scan = scan_game_logs(dir);
  ASSERT_EQ(scan.games.size(), 1u);
  const GameRecord& g = scan.games[0];
  EXPECT_EQ(g.number, 12);
  EXPECT_EQ(g.names, (std::array<std::string, 2>{"alpha", "beta"}));
  EXPECT_EQ(g.values, (std::array<int, 2>{40, 0}));
  EXPECT_EQ(g.texts, (std::array<std::string, 2>{"LOSE", "TIMEOUT"}));
  EXPECT_EQ(g.page, fs::path("refereelogs/alpha-beta.12.html"));
  EXPECT_EQ(scan.unfinished.size(), 2u);
  EXPECT_NE(results_csv(scan.games).find("\n12,alpha,beta,alpha,40,0,LOSE,TIMEOUT,beta:TIMEOUT,"),
            std::string::npos);
  fs::remove_all(dir);
}

TEST(TournamentReports, IndexEscapesEveryInsertedText) {
  LogScan scan;
  scan.games.push_back(game("<b>", "a&b", 200, 100, "WIN\"", "<script>"));
  scan.games[0].page = "refereelogs/x y'.html";
  std::string page = index_html(scan);
  EXPECT_EQ(page.find("<b>"), std::string::npos);
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_NE(page.find("&lt;b&gt;"), std::string::npos);
  EXPECT_NE(page.find("a&amp;b"), std::string::npos);
  EXPECT_NE(page.find("href=\"refereelogs/x%20y%27.html\""), std::string::npos);
}

TEST(TournamentPieces, TileScriptsAreReproduciblePerGameAndValid) {
  std::string script = derive_tile_script("seed", 1);
  EXPECT_EQ(script, derive_tile_script("seed", 1));
  EXPECT_NE(script, derive_tile_script("seed", 2));
  EXPECT_NE(script, derive_tile_script("seee", 1));
  for (int n = 1; n <= 50; ++n) {
    auto lines = lines_of(derive_tile_script("s", n));
    ASSERT_EQ(lines.size(), 2u + kScriptTiles);
    int c1 = 0, c2 = 0;
    ASSERT_EQ(std::sscanf(lines[0].c_str(), "%d %d", &c1, &c2), 2);
    EXPECT_TRUE(c1 >= 1 && c1 <= 6 && c2 >= 1 && c2 <= 6 && c1 != c2) << lines[0];
    for (std::size_t i = 1; i < lines.size(); ++i) {
      std::string sorted = lines[i];
      std::sort(sorted.begin(), sorted.end());
      EXPECT_EQ(sorted, "123456") << lines[i];
    }
  }
}

TEST(TournamentPieces, PlayersAndShellQuotingRoundTrip) {
  EXPECT_EQ(parse_player("fast=bots/x --level 3").name, "fast");
  EXPECT_EQ(parse_player("fast=bots/x --level 3").command, "bots/x --level 3");
  EXPECT_EQ(parse_player("bots/zarvo-x --level=3").name, "zarvo_x");
  EXPECT_EQ(parse_player("bots/zarvo-x --level=3").command, "bots/zarvo-x --level=3");
  EXPECT_THROW(parse_player("a="), std::invalid_argument);
  std::vector<std::string> words = {"/bin/a b", "it's", "", "$HOME", "plain-1.0", "x\"y\\z"};
  EXPECT_EQ(arena::split_shell_words(shell_command(words)), words);
  EXPECT_EQ(shell_quote("plain-1.0"), "plain-1.0");

  TournamentSettings settings;
  settings.players = {{"a", "x"}, {"b", "y"}, {"c", "z"}};
  settings.games_per_pair = 2;
  auto games = schedule_games(settings);
  ASSERT_EQ(games.size(), 6u);
  EXPECT_EQ(std::make_pair(games[0].first, games[0].second), std::make_pair(0, 1));
  EXPECT_EQ(std::make_pair(games[3].first, games[3].second), std::make_pair(1, 0));
  settings.format = Format::gauntlet;
  EXPECT_EQ(schedule_games(settings).size(), 4u);
}

}  // namespace
