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

#include "arena/process/shell_words.h"
#include "arena/series/game_record.h"
#include "arena/series/match_jobs.h"
#include "arena/series/tile_script.h"
#include "arena/series/tournament_plan.h"
#include "arena/tournament/standings.h"
#include "arena/tournament/tournament_reports.h"
#include "tests/support/process_check.h"
#include "tests/support/test_files.h"

namespace {
namespace fs = std::filesystem;
using test_support::lines_of;
using test_support::read_file;
using namespace arena::series;
using namespace arena::tournament;
using test_support::run_program;

const std::string kBin = ZARVO_BIN_DIR;
const std::string kArena = kBin + "/zarvo-arena";

std::vector<std::string> split_csv_simple(const std::string& line) {
  return test_support::csv_fields(line);
}

class TournamentTest : public ::testing::Test {
 protected:
  void SetUp() override { root_ = test_support::fresh_test_dir("zarvo_tournament_"); }
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

GameRecord game(std::string a, std::string b, int va, int vb, std::string ta, std::string tb) {
  GameRecord record;
  record.id = "1";
  record.names = {a, b};
  record.values = {va, vb};
  record.texts = {ta, tb};
  return record;
}

// results.csv without the four usage columns, each player's CPU time and peak memory, which
// differ between two plays of the same game.
std::string without_usage(const std::string& csv) {
  std::string kept;
  for (const std::string& line : lines_of(csv)) {
    // They stand before the last column, the note.
    std::vector<std::string> fields = test_support::csv_fields(line);
    fields.erase(fields.end() - 5, fields.end() - 1);
    std::string row;
    for (const std::string& field : fields) row += (row.empty() ? "" : ",") + field;
    kept += row + "\n";
  }
  return kept;
}

// Rows of results.csv without its header.
std::vector<std::vector<std::string>> result_rows(const fs::path& dir) {
  std::vector<std::vector<std::string>> rows;
  auto lines = lines_of(read_file(dir / "results.csv"));
  for (std::size_t i = 1; i < lines.size(); ++i) rows.push_back(split_csv_simple(lines[i]));
  return rows;
}

TEST_F(TournamentTest, RoundRobinOfThreePlaysEveryPairBothWaysAndWritesItsFiles) {
  fs::path dir = root_ / "rr";
  auto args = three_players();
  args.insert(args.end(), {"--games-per-pair", "2"});
  auto run = tournament(dir, args);
  ASSERT_EQ(run.status, 0) << run.out << run.err;

  auto lines = lines_of(read_file(dir / "results.csv"));
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0],
            "game,player1,player2,first_player,result1,result2,text1,"
            "text2,disqualified,log,page,winner,outcome,cpu_ms1,cpu_ms2,peak_kib1,peak_kib2,"
            "note");
  std::set<std::pair<std::string, std::string>> orders;
  int number = 0;
  for (const auto& row : result_rows(dir)) {
    ASSERT_EQ(row.size(), 18u);
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
        read_file(dir / "refereelogs" / (row[1] + "-" + row[2] + "." + row[0] + ".tiles.txt")));
    ASSERT_FALSE(script.empty());
    std::string colours = script[0];
    colours.replace(colours.find(' '), 1, ", ");
    EXPECT_NE(read_file(dir / row[9]).find("Colours: " + colours), std::string::npos);
  }
  EXPECT_EQ(orders.size(), 6u) << "each of the three pairings once in each order";
  // Games 2k-1 and 2k are a pair: the same players with the seats swapped, on the same tile
  // script.
  auto rows = result_rows(dir);
  for (std::size_t i = 0; i + 1 < rows.size(); i += 2) {
    EXPECT_EQ(rows[i][1], rows[i + 1][2]) << "game " << rows[i][0];
    EXPECT_EQ(rows[i][2], rows[i + 1][1]) << "game " << rows[i][0];
    fs::path first = dir / rows[i][9], second = dir / rows[i + 1][9];
    EXPECT_EQ(read_file(first.replace_extension(".tiles.txt")),
              read_file(second.replace_extension(".tiles.txt")));
  }
  EXPECT_NE(read_file(dir / "refereelogs/greedy-random.1.tiles.txt"),
            read_file(dir / "refereelogs/greedy-other.3.tiles.txt"))
      << "each pair has a tile script of its own";

  std::string standings = read_file(dir / "standings.txt");
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
  // The crosstable: each player's points against each other player, matching results.csv.
  std::map<std::pair<std::string, std::string>, double> points;
  for (const auto& row : result_rows(dir)) {
    GameRecord record = game(row[1], row[2], std::stoi(row[4]), std::stoi(row[5]), row[6], row[7]);
    auto shares = game_points(record);
    points[{row[1], row[2]}] += shares[0];
    points[{row[2], row[1]}] += shares[1];
  }
  auto cross = standings.find("Crosstable");
  ASSERT_NE(cross, std::string::npos) << standings;
  std::vector<std::string> order;  // names by rank
  for (const auto& line : lines_of(standings.substr(cross))) {
    std::istringstream words(line);
    std::string rank, name;
    std::vector<std::string> cells;
    if (!(words >> rank >> name) || rank == "Rank" || !std::isdigit(rank[0])) continue;
    for (std::string cell; words >> cell;) cells.push_back(cell);
    order.push_back(name);
    ASSERT_EQ(cells.size(), 3u) << line;
  }
  ASSERT_EQ(order.size(), 3u) << standings;
  for (const auto& line : lines_of(standings.substr(cross))) {
    std::istringstream words(line);
    std::string rank, name;
    if (!(words >> rank >> name) || !std::isdigit(rank[0])) continue;
    for (std::size_t column = 0; column < 3; ++column) {
      std::string cell;
      words >> cell;
      if (order[column] == name) {
        EXPECT_EQ(cell, "-");
        continue;
      }
      double expected = points[{name, order[column]}];
      char text[16];
      std::snprintf(text, sizeof text, expected == std::floor(expected) ? "%.0f/2" : "%.1f/2",
                    expected);
      EXPECT_EQ(cell, text) << name << " against " << order[column];
    }
  }
  std::string index = read_file(dir / "index.html");
  auto standings_at = index.find("id=\"standings\"");
  auto games_at = index.find("id=\"games\"");
  ASSERT_NE(standings_at, std::string::npos);
  EXPECT_LT(standings_at, games_at) << "the page opens with the standings";
  for (const auto& row : result_rows(dir)) {
    EXPECT_NE(index.find("<a href=\"" + row[10] + "\">"), std::string::npos) << row[10];
  }
  EXPECT_LT(standings_at, index.find("id=\"crosstable\"")) << "the crosstable follows";
  EXPECT_LT(index.find("id=\"crosstable\""), games_at);
  EXPECT_EQ(index.find("http-equiv=\"refresh\""), std::string::npos)
      << "a complete tournament's page stays still";
  EXPECT_EQ(standings.find("Playing"), std::string::npos);
  EXPECT_EQ(standings.find("Incomplete"), std::string::npos);
  // Not on a terminal: one plain line per game.
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '['), 6) << run.out;
  EXPECT_EQ(run.out.find('\033'), std::string::npos);
}

TEST_F(TournamentTest, GauntletPairsTheFirstPlayerWithEachOtherAlternatingWhoMovesFirst) {
  fs::path dir = root_ / "gauntlet";
  auto args = three_players();
  args.insert(args.end(), {"--player", "fourth=" + kBin + "/zarvo-greedy --seed 4", "--format",
                           "gauntlet", "--games-per-pair", "4"});
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
    EXPECT_EQ(counts.second, 2) << opponent;
  }
  // Each pair: greedy first, then the same opponent first, on one tile script.
  auto rows = result_rows(dir);
  ASSERT_EQ(rows.size(), 12u);
  for (std::size_t i = 0; i < rows.size(); i += 2) {
    EXPECT_EQ(rows[i][1], "greedy") << "game " << rows[i][0];
    EXPECT_EQ(rows[i + 1][2], "greedy") << "game " << rows[i + 1][0];
    EXPECT_EQ(rows[i][2], rows[i + 1][1]);
    fs::path first = dir / rows[i][9], second = dir / rows[i + 1][9];
    EXPECT_EQ(read_file(first.replace_extension(".tiles.txt")),
              read_file(second.replace_extension(".tiles.txt")));
  }
}

TEST_F(TournamentTest, RerunPlaysOnlyTheUnfinishedGamesAndStandingsRebuildTheSameFiles) {
  fs::path dir = root_ / "resume";
  auto args = three_players();
  ASSERT_EQ(tournament(dir, args).status, 0);
  std::string results = read_file(dir / "results.csv");
  std::string standings = read_file(dir / "standings.txt");
  std::string index = read_file(dir / "index.html");

  auto rows = result_rows(dir);
  ASSERT_EQ(rows.size(), 6u);
  // Game 4 lost: its pair (games 3 and 4) is half played, so both are played again; game 3's
  // files go first, so that it is not counted twice.
  fs::remove(dir / rows[3][9]);
  auto kept = fs::last_write_time(dir / rows[0][9]);
  auto rerun = tournament(dir, args);
  ASSERT_EQ(rerun.status, 0) << rerun.out << rerun.err;
  EXPECT_NE(rerun.out.find("resuming: 4 of 6 games already finished (1 game of unfinished "
                           "pairs played again)"),
            std::string::npos)
      << rerun.out;
  EXPECT_NE(rerun.out.find("[5/6] game "), std::string::npos) << rerun.out;
  EXPECT_NE(rerun.out.find("[6/6] game "), std::string::npos) << rerun.out;
  EXPECT_NE(rerun.out.find("game 3:"), std::string::npos) << rerun.out;
  EXPECT_NE(rerun.out.find("game 4:"), std::string::npos) << rerun.out;
  EXPECT_EQ(rerun.out.find("game 1:"), std::string::npos) << rerun.out;
  EXPECT_EQ(fs::last_write_time(dir / rows[0][9]), kept);
  EXPECT_EQ(without_usage(read_file(dir / "results.csv")), without_usage(results))
      << "the replayed games are the same games";
  EXPECT_EQ(read_file(dir / "standings.txt"), standings);

  // zarvo-arena standings writes the same files from the logs alone.
  results = read_file(dir / "results.csv");
  for (auto file : {"results.csv", "standings.txt", "index.html"}) fs::remove(dir / file);
  auto rebuilt = run_program({kArena, "standings", dir.string()});
  ASSERT_EQ(rebuilt.status, 0) << rebuilt.err;
  EXPECT_EQ(read_file(dir / "results.csv"), results);
  EXPECT_EQ(read_file(dir / "standings.txt"), standings);
  EXPECT_EQ(read_file(dir / "index.html"), index);
  EXPECT_EQ(rebuilt.out, standings);

  // Another tournament in the same directory is refused rather than mixed in.
  auto other =
      tournament(dir, {"--player", kBin + "/zarvo-greedy", "--player", kBin + "/zarvo-random"});
  EXPECT_EQ(other.status, 2);
  EXPECT_NE(other.err.find("holds another tournament"), std::string::npos) << other.err;
}

TEST_F(TournamentTest, WithoutASeedTheDrawnSeedIsKeptSoThatARerunPlaysTheSameTiles) {
  fs::path dir = root_ / "unseeded";
  std::vector<std::string> args = {kArena,
                                   "tournament",
                                   "--dir",
                                   dir.string(),
                                   "--time-limit",
                                   "5",
                                   "--concurrency",
                                   "2",
                                   "--games-per-pair",
                                   "4",
                                   "--player",
                                   "greedy=" + kBin + "/zarvo-greedy --seed 1",
                                   "--player",
                                   "random=" + kBin + "/zarvo-random --seed 2"};
  auto run = run_program(args);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  std::string plan = read_file(dir / "tournament.txt");
  EXPECT_NE(plan.find("\nseed none\n"), std::string::npos) << plan;
  auto seed_at = plan.find("\ndrawn-seed ");
  ASSERT_NE(seed_at, std::string::npos) << plan;
  fs::path logs = dir / "refereelogs";
  std::string pair1 = read_file(logs / "greedy-random.1.tiles.txt");
  std::string pair2 = read_file(logs / "greedy-random.3.tiles.txt");
  EXPECT_FALSE(pair1.empty());
  EXPECT_EQ(read_file(logs / "random-greedy.2.tiles.txt"), pair1);
  EXPECT_EQ(read_file(logs / "random-greedy.4.tiles.txt"), pair2);
  EXPECT_NE(pair1, pair2);
  // Another directory draws another seed.
  auto other_args = args;
  other_args[3] = (root_ / "unseeded2").string();
  ASSERT_EQ(run_program(other_args).status, 0);
  EXPECT_NE(read_file(root_ / "unseeded2/refereelogs/greedy-random.1.tiles.txt"), pair1);

  // Game 3 lost: `standings` counts what is there, says the tournament is incomplete, and
  // writes a page that does not reload (nothing would rewrite it).
  std::string results = read_file(dir / "results.csv");
  fs::remove(logs / "greedy-random.3.log");
  auto standings = run_program({kArena, "standings", dir.string()});
  ASSERT_EQ(standings.status, 0) << standings.err;
  EXPECT_NE(standings.out.find("Zarvo tournament standings: 3 games\nIncomplete: 3 of 4 games "
                               "finished"),
            std::string::npos)
      << standings.out;
  EXPECT_EQ(read_file(dir / "index.html").find("http-equiv=\"refresh\""), std::string::npos);
  EXPECT_NE(read_file(dir / "index.html").find("Incomplete: 3 of 4"), std::string::npos);

  // The rerun plays pair 2 again whole, on the same tile script, from the kept seed.
  auto rerun = run_program(args);
  ASSERT_EQ(rerun.status, 0) << rerun.out << rerun.err;
  EXPECT_NE(rerun.out.find("resuming: 2 of 4 games already finished (1 game of unfinished "
                           "pairs played again)"),
            std::string::npos)
      << rerun.out;
  EXPECT_EQ(read_file(logs / "greedy-random.3.tiles.txt"), pair2);
  EXPECT_EQ(read_file(dir / "tournament.txt"), plan);
  EXPECT_EQ(without_usage(read_file(dir / "results.csv")), without_usage(results))
      << "deterministic bots, same tiles: same games";

  // A seed given now would be another tournament.
  auto seeded = args;
  seeded.insert(seeded.end(), {"--seed", "x"});
  auto refused = run_program(seeded);
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("holds another tournament"), std::string::npos) << refused.err;
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
  std::vector<std::string> args = {kArena, "tournament", "--dir", dir.string(), "--seed", "s",
                                   "--concurrency", "2", "--games-per-pair", "4", "--player",
                                   "a=" + slow_player(marker, 1), "--player",
                                   "b=" + slow_player(marker, 2),
                                   // Its players' bot lies outside what their sandboxes show, so
                                   // they would fail the check: this test is about stopping.
                                   "--no-check"};
  fs::path out_file = root_ / "out.txt";
  pid_t pid = test_support::start_program(args, out_file.string());
  ASSERT_GE(pid, 0);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (read_file(out_file).find("[1/4]") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_NE(read_file(out_file).find("[1/4]"), std::string::npos);
  ASSERT_FALSE(test_support::processes_with(marker, 0).empty()) << "games still running";
  // While it plays, the pages are rewritten after every game and the page reloads itself.
  std::string live_index = read_file(dir / "index.html");
  EXPECT_NE(live_index.find("<meta http-equiv=\"refresh\""), std::string::npos);
  EXPECT_NE(live_index.find("id=\"crosstable\""), std::string::npos);
  EXPECT_NE(
      read_file(dir / "standings.txt").find(" of 4 games finished; rewritten after every game"),
      std::string::npos)
      << read_file(dir / "standings.txt");
  ::kill(pid, SIGINT);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT);
  EXPECT_TRUE(test_support::processes_with(marker).empty());
  EXPECT_TRUE(test_support::live_children().empty());

  // Every game reported as done is kept and listed; the stopped ones left no
  // log behind.
  std::string out = read_file(out_file);
  auto rows = result_rows(dir);
  ASSERT_GE(rows.size(), 1u);
  ASSERT_LT(rows.size(), 4u) << out;
  for (const auto& row : rows) {
    EXPECT_NE(out.find("game " + row[0] + ": " + row[1] + " vs " + row[2]), std::string::npos)
        << out;
  }
  auto standings = lines_of(read_file(dir / "standings.txt"));
  EXPECT_EQ(standings[0], "Zarvo tournament standings: " + std::to_string(rows.size()) + " games");
  EXPECT_EQ(standings[1], "Incomplete: " + std::to_string(rows.size()) +
                              " of 4 games finished; the same tournament command plays the rest.");
  EXPECT_EQ(read_file(dir / "index.html").find("http-equiv=\"refresh\""), std::string::npos)
      << "a stopped tournament's page no longer reloads";

  // The rerun keeps the whole pairs and plays a half-played pair again whole.
  std::set<std::string> numbers;
  for (const auto& row : rows) numbers.insert(row[0]);
  int kept = 0, again = 0;
  for (auto [first, second] : {std::pair{"1", "2"}, std::pair{"3", "4"}}) {
    int count = static_cast<int>(numbers.count(first) + numbers.count(second));
    kept += count == 2 ? 2 : 0;
    again += count == 1 ? 1 : 0;
  }
  auto rerun = run_program(args);
  ASSERT_EQ(rerun.status, 0) << rerun.out << rerun.err;
  EXPECT_NE(rerun.out.find("resuming: " + std::to_string(kept) + " of 4"), std::string::npos)
      << rerun.out;
  EXPECT_EQ(rerun.out.find("of unfinished pairs played again") != std::string::npos, again > 0)
      << rerun.out;
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
  EXPECT_EQ(lines_of(read_file(jobs)).size(), 6u);
  EXPECT_FALSE(fs::exists(emitted / "results.csv")) << "nothing is played";

  // From another working directory, as on another host sharing the file system.
  auto parallel =
      run_program({"/bin/sh", "-c", "cd / && parallel --will-cite -j 2 < '" + jobs.string() + "'"});
  ASSERT_EQ(parallel.status, 0) << parallel.err;
  auto standings = run_program({kArena, "standings", emitted.string()});
  ASSERT_EQ(standings.status, 0) << standings.err;
  EXPECT_EQ(read_file(emitted / "standings.txt"), read_file(played / "standings.txt"));
  EXPECT_EQ(without_usage(read_file(emitted / "results.csv")),
            without_usage(read_file(played / "results.csv")));

  // The directory now counts as played through: no commands left to emit.
  auto again = tournament(emitted, args);
  EXPECT_EQ(again.status, 0);
  EXPECT_TRUE(read_file(jobs).empty());
}

// A program named without a directory means what a match makes of it: the sandbox's PATH for a
// sandboxed player, whatever the arena's PATH holds first (a pyenv shim), and the arena's PATH
// only with --no-sandbox; a player that cannot be started is refused, named, before any game.
TEST_F(TournamentTest, PlayerProgramsResolveByTheMatchRuleWhateverTheArenasPath) {
  fs::path shims = root_ / "shims";
  fs::create_directories(shims);
  for (const char* name : {"python3", "shimbot"}) {
    std::ofstream(shims / name) << "#!/bin/sh\nexit 1\n";
    fs::permissions(shims / name,
                    fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
  }
  auto emit = [&](const std::string& dir, const std::string& player,
                  const std::vector<std::string>& extra) {
    std::string command = "PATH='" + shims.string() + "':\"$PATH\" exec '" + kArena +
                          "' tournament --seed s --dir '" + (root_ / dir).string() +
                          "' --emit-jobs '" + (root_ / dir).string() + ".txt' --player '" + player +
                          "' --player '" + kBin + "/zarvo-random'";
    for (const std::string& word : extra) command += " " + word;
    return run_program({"/bin/sh", "-c", command});
  };
  const std::string bot = "python3 " + std::string(ZARVO_SOURCE_DIR) + "/players/zarvo_bot.py";
  auto sandboxed = emit("sandboxed", "py=" + bot, {});
  ASSERT_EQ(sandboxed.status, 0) << sandboxed.err;
  std::string jobs = read_file(root_ / "sandboxed.txt");
  EXPECT_EQ(jobs.find(shims.string()), std::string::npos) << jobs;
  EXPECT_NE(jobs.find("bin/python3 "), std::string::npos) << jobs;
  // Every game hides every entrant's directories from both of its players.
  EXPECT_NE(jobs.find("--entrant-dir " + std::string(ZARVO_SOURCE_DIR) + "/players"),
            std::string::npos)
      << jobs;
  EXPECT_NE(jobs.find("--entrant-dir " + kBin), std::string::npos) << jobs;
  auto plain = emit("plain", "py=" + bot, {"--no-sandbox"});
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_NE(read_file(root_ / "plain.txt").find(shims.string() + "/python3"), std::string::npos);

  auto unknown = emit("unknown", "mine=shimbot", {});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("player mine: shimbot: not found in /usr/local/bin:/usr/bin:/bin"),
            std::string::npos)
      << unknown.err;
  EXPECT_FALSE(fs::exists(root_ / "unknown.txt"));
  EXPECT_EQ(emit("unknown", "mine=shimbot", {"--no-sandbox"}).status, 0);
}

TEST_F(TournamentTest, AGameTheRefereeFailsIsReportedAndCountsAsUnfinished) {
  fs::path dir = root_ / "failing";
  auto args = three_players();
  // Unchecked: the players' check would already fail on the referee.
  args.insert(args.end(), {"--games-per-pair", "2", "--referee", "/bin/false", "--no-check"});
  auto run = tournament(dir, args);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("game 1: match ended with exit status 1"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("0 of 6 games finished"), std::string::npos) << run.out;
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
  // Games come in pairs.
  for (const char* odd : {"1", "3"}) {
    auto unpaired =
        tournament(root_ / "odd", {"--player", "a=" + kBin + "/zarvo-greedy", "--player",
                                   kBin + "/zarvo-random", "--games-per-pair", odd});
    EXPECT_EQ(unpaired.status, 2);
    EXPECT_NE(unpaired.err.find("--games-per-pair: must be even"), std::string::npos)
        << unpaired.err;
  }
  EXPECT_FALSE(fs::exists(root_ / "odd" / "tournament.txt"));
}

// --- The pieces, against hand-computed values.

TEST(TournamentElo, MatchesHandComputedValues) {
  // Five wins of a over b: the fit with two virtual draws each against a player rated 0 puts
  // a at 400 log10(3) = +190.85 and b at -190.85 (the likelihood's slope in r = R_a = -R_b is
  // 5 - 5 s(2r) + 1 - 2 s(r), zero at s(r) = 3/4, s(2r) = 9/10), with the margin
  // 1.96 / sqrt(2.55) / (ln10 / 400) = 213.2 from the curvature 20 * 0.09 + 4 * 3/16 = 2.55.
  std::vector<GameRecord> games;
  for (int i = 0; i < 5; ++i) {
    games.push_back(i % 2 ? game("b", "a", 80, 220, "LOSE", "WIN")
                          : game("a", "b", 220, 80, "WIN", "LOSE"));
  }
  auto standings = compute_standings(games);
  ASSERT_EQ(standings.size(), 2u);
  EXPECT_EQ(standings[0].name, "a");
  EXPECT_NEAR(standings[0].elo, 190.85, 0.01);
  EXPECT_NEAR(standings[1].elo, -190.85, 0.01);
  EXPECT_NEAR(standings[0].elo_margin, 213.22, 0.01);
  EXPECT_NEAR(standings[1].elo_margin, 213.22, 0.01);
  EXPECT_GT(standings[0].los_next, 0.95);
  EXPECT_TRUE(std::isnan(standings[1].los_next));
  // Even: both at 0, LOS 1/2; symmetric for the opponent's view.
  auto even = compute_standings({game("a", "b", 220, 80, "WIN", "LOSE"),
                                 game("b", "a", 220, 80, "WIN", "LOSE"),
                                 game("a", "b", 150, 150, "DRAW", "DRAW")});
  EXPECT_NEAR(even[0].elo, 0.0, 1e-9);
  EXPECT_NEAR(even[0].los_next, 0.5, 1e-9);
  auto mirror = compute_standings({game("a", "b", 80, 220, "LOSE", "WIN"),
                                   game("b", "a", 220, 80, "WIN", "LOSE"),
                                   game("a", "b", 80, 220, "LOSE", "WIN")});
  EXPECT_EQ(mirror[0].name, "b");
  EXPECT_NEAR(mirror[0].elo, -mirror[1].elo, 1e-9);
  EXPECT_TRUE(std::isfinite(mirror[0].elo)) << "three of three won, still a finite rating";
  EXPECT_TRUE(compute_standings({}).empty());
}

TEST(TournamentElo, RanksByRatingWhichWeighsTheOpponents) {
  // s beat w in all four games and drew q twice in four; p scored 3 of 4 against w only.
  // p's score (75%) tops q's (50%), but q held its own against the strongest player, so the
  // fit rates q above p; w, who lost everything, is rated lowest and still finite.
  std::vector<GameRecord> games;
  for (int i = 0; i < 4; ++i) {
    games.push_back(game("s", "w", 220, 80, "WIN", "LOSE"));
    games.push_back(i < 2 ? game("q", "s", 150, 150, "DRAW", "DRAW")
                          : game("q", "s", i == 2 ? 220 : 80, i == 2 ? 80 : 220,
                                 i == 2 ? "WIN" : "LOSE", i == 2 ? "LOSE" : "WIN"));
    games.push_back(i ? game("p", "w", 220, 80, "WIN", "LOSE")
                      : game("p", "w", 80, 220, "LOSE", "WIN"));
  }
  auto standings = compute_standings(games);
  ASSERT_EQ(standings.size(), 4u);
  std::vector<std::string> order;
  for (const auto& s : standings) order.push_back(s.name);
  EXPECT_EQ(order, (std::vector<std::string>{"s", "q", "p", "w"}));
  EXPECT_GT(standings[2].score(), standings[1].score());
  double sum = 0;
  for (const auto& s : standings) sum += s.elo;
  EXPECT_NEAR(sum, 0, 1e-6) << "mean rating 0";
  EXPECT_TRUE(std::isfinite(standings[3].elo));
  EXPECT_LT(standings[0].los_next, 0.75) << "s and q are hard to tell apart";
  EXPECT_GT(standings[0].los_next, 0.5);
  EXPECT_GT(standings[2].los_next, 0.8) << "p is likely stronger than w";
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

}  // namespace
