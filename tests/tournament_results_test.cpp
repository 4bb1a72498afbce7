// What a tournament's results tell, through the real programs: one story per game in every view
// (result line, results.csv, standings, crosstable, page), what each player used, and the
// machine-readable standings.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/entry_dirs.h"
#include "tests/support/process_check.h"
#include "tests/support/test_files.h"

namespace {
namespace fs = std::filesystem;
using test_support::lines_of;
using test_support::read_file;
using test_support::run_program;

const std::string kBin = ZARVO_BIN_DIR;
const std::string kArena = kBin + "/zarvo-arena";
const std::string kHostileBot = RESULTS_TEST_BOT;

std::vector<std::string> csv_row(const std::string& line) { return test_support::csv_fields(line); }

class TournamentResults : public ::testing::Test {
 protected:
  void SetUp() override { root_ = test_support::fresh_test_dir("zarvo_results_"); }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(root_);
  }

  test_support::ProgramRun tournament(const fs::path& dir, std::vector<std::string> extra) {
    // Unchecked: these fields hold entrants that misbehave on purpose, which the check before
    // the first game would refuse.
    std::vector<std::string> args = {kArena,          "tournament", "--dir",        dir.string(),
                                     "--seed",        "story",      "--time-limit", "5",
                                     "--concurrency", "2",          "--no-check"};
    args.insert(args.end(), extra.begin(), extra.end());
    return run_program(args);
  }

  fs::path root_;
};

// The row of `name` in a text table whose second column holds the names.
std::vector<std::string> table_row(const std::string& text, const std::string& name) {
  for (const std::string& line : lines_of(text)) {
    std::istringstream in(line);
    std::vector<std::string> cells;
    for (std::string cell; in >> cell;) cells.push_back(cell);
    if (cells.size() > 2 && cells[1] == name) return cells;
  }
  return {};
}

TEST_F(TournamentResults, ACrashingEntrantGivesOneStoryInEveryView) {
  fs::path dir = root_ / "crash";
  auto run = tournament(
      dir, {"--games-per-pair", "2", "--player", "greedy=" + kBin + "/zarvo-greedy --seed 1",
            "--player", "evil=" + kHostileBot + " --mode=crash_segv --at=3"});
  ASSERT_EQ(run.status, 0) << run.out << run.err;

  auto lines = lines_of(read_file(dir / "results.csv"));
  ASSERT_EQ(lines.size(), 3u);
  ASSERT_EQ(lines[0],
            "game,player1,player2,first_player,result1,result2,text1,text2,disqualified,log,page,"
            "winner,outcome,cpu_ms1,cpu_ms2,peak_kib1,peak_kib2,note");
  std::string index = read_file(dir / "index.html");
  for (std::size_t i = 1; i < lines.size(); ++i) {
    auto row = csv_row(lines[i]);
    ASSERT_EQ(row.size(), 18u) << lines[i];
    int evil = row[1] == "evil" ? 1 : 2;
    int greedy = 3 - evil;
    // The referee's own texts stay as it wrote them: the survivor's by points.
    EXPECT_EQ(row[5 + evil], "CRASH");
    EXPECT_NE(row[5 + greedy], "CRASH");
    std::string log = read_file(dir / row[9]);
    std::string report = log.substr(log.rfind("Manager report: "));
    EXPECT_NE(report.find("PLAYER_1:_" + row[6]), std::string::npos) << report;
    EXPECT_NE(report.find("PLAYER_2:_" + row[7]), std::string::npos) << report;
    // Our story: the survivor wins, and why.
    EXPECT_EQ(row[11], "greedy");
    EXPECT_TRUE(row[12].starts_with("greedy wins: evil disqualified: CRASH in move ")) << row[12];
    EXPECT_NE(
        log.find("has been disqualified in move " + row[12].substr(row[12].rfind(' ') + 1) + ":"),
        std::string::npos)
        << "the move is the log's";
    EXPECT_NE(index.find("<td class=\"winner\">greedy</td><td class=\"outcome\">" + row[12]),
              std::string::npos)
        << index;
    // What each player used, recorded beside the game.
    for (int column : {13, 14}) {
      EXPECT_FALSE(row[column].empty()) << lines[i];
      EXPECT_GE(std::stol(row[column]), 0);
    }
  }

  std::string standings = read_file(dir / "standings.txt");
  auto greedy_row = table_row(standings, "greedy");
  auto evil_row = table_row(standings, "evil");
  ASSERT_GE(greedy_row.size(), 9u) << standings;
  ASSERT_GE(evil_row.size(), 9u) << standings;
  EXPECT_EQ(greedy_row[0], "1");
  EXPECT_EQ(greedy_row[3], "2") << "wins";
  EXPECT_EQ(evil_row[5], "2") << "losses";
  EXPECT_EQ(evil_row[8], "2") << "CRASH";
  std::string cross = standings.substr(standings.find("Crosstable"));
  EXPECT_EQ(table_row(cross, "greedy").back(), "2/2") << cross;
  EXPECT_EQ(table_row(cross, "evil")[2], "0/2") << cross;

  // standings.json holds the same figures, the games' stories and the run's settings.
  auto json = nlohmann::json::parse(read_file(dir / "standings.json"));
  ASSERT_EQ(json["standings"].size(), 2u);
  for (const auto& row : json["standings"]) {
    auto text = table_row(standings, row["player"].get<std::string>());
    ASSERT_GE(text.size(), 15u);
    EXPECT_EQ(text[0], std::to_string(row["rank"].get<int>()));
    EXPECT_EQ(text[2], std::to_string(row["games"].get<int>()));
    EXPECT_EQ(text[3], std::to_string(row["wins"].get<int>()));
    EXPECT_EQ(text[5], std::to_string(row["losses"].get<int>()));
    EXPECT_EQ(text[8], std::to_string(row["disqualifications"]["CRASH"].get<int>()));
    char elo[32];
    std::snprintf(elo, sizeof elo, "%+.1f", row["elo"].get<double>());
    EXPECT_EQ(text[12], elo);
  }
  EXPECT_EQ(json["crosstable"]["players"][0], "greedy");
  EXPECT_EQ(json["crosstable"]["points"][0][1], 2.0);
  EXPECT_EQ(json["crosstable"]["games"][1][0], 2);
  ASSERT_EQ(json["games"].size(), 2u);
  for (const auto& game : json["games"]) {
    EXPECT_EQ(game["winner"], "greedy");
    EXPECT_TRUE(game["cpu_ms"][0].is_number() && game["cpu_ms"][1].is_number()) << game;
  }
  EXPECT_EQ(json["settings"]["seed"], "story");
  EXPECT_EQ(json["settings"]["games_per_pair"], 2);
  EXPECT_EQ(json["settings"]["limits"]["time-limit"], "5");
  // Every limit also as a number, its unit in its key.
  EXPECT_EQ(json["settings"]["limits"]["time_limit_s"], 5.0);
  EXPECT_TRUE(json["settings"]["limits"]["memory_limit_mb"].is_number()) << json["settings"];
  EXPECT_TRUE(json["settings"]["limits"]["process_limit"].is_number()) << json["settings"];
  EXPECT_TRUE(json["settings"]["limits"]["file_limit_mb"].is_number()) << json["settings"];
  EXPECT_EQ(json["settings"]["players"], nlohmann::json({"greedy", "evil"}));
}

TEST_F(TournamentResults, TheMatchResultLineNamesTheWinnerByTheSameRule) {
  auto run = run_program({kArena, "match", "--dir", root_.string(), "--id", "one",
                          kHostileBot + " --mode=crash_segv --at=2", kBin + "/zarvo-greedy"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find(" winner zarvo_greedy log "), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("zarvo_greedy wins: hostile_bot disqualified: CRASH in move "),
            std::string::npos)
      << run.err;
  std::string usage = read_file(root_ / "refereelogs/hostile_bot-zarvo_greedy.one.usage.txt");
  EXPECT_TRUE(usage.starts_with("player1 cpu_ms=")) << usage;
  EXPECT_NE(usage.find("\nplayer2 cpu_ms="), std::string::npos) << usage;
}

// The first player's result text in a result line "A vs B: R1 R2 PLAYER_1:_X;_... winner W ...".
std::string first_text(const std::string& line) {
  auto at = line.find("PLAYER_1:_");
  if (at == std::string::npos) return "";
  std::string text = line.substr(at + 10);
  return text.substr(0, text.find_first_of("; "));
}

class TimeControls : public TournamentResults {
 protected:
  test_support::ProgramRun game(const std::string& id, std::vector<std::string> options,
                                const std::string& bot) {
    std::vector<std::string> args = {kArena, "match", "--dir", root_.string(), "--id", id};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(kHostileBot + " " + bot);
    args.push_back(kBin + "/zarvo-greedy");
    return run_program(args);
  }
};

TEST_F(TimeControls, AnAnswerPastTheMoveLimitIsATimeoutWithinTheBudget) {
  const std::string bot = "--mode=slow --at=3 --slow-ms=900";
  auto limited = game("limited", {"--time-limit", "30", "--move-limit", "200ms"}, bot);
  ASSERT_EQ(limited.status, 0) << limited.err;
  EXPECT_EQ(first_text(limited.out), "TIMEOUT") << limited.out;
  EXPECT_NE(limited.out.find(" winner zarvo_greedy "), std::string::npos) << limited.out;
  // The same answer within a wider move limit is no fault.
  auto wider = game("wider", {"--time-limit", "30", "--move-limit", "5"}, bot);
  ASSERT_EQ(wider.status, 0) << wider.err;
  EXPECT_NE(first_text(wider.out), "TIMEOUT") << wider.out;
}

TEST_F(TimeControls, TheIncrementAddsToTheBudgetAfterEachAnswer) {
  // The third answer takes 800 ms, more than the 300 ms budget, but less than the budget
  // with two increments of 500 ms.
  const std::string bot = "--mode=late --at=3 --late-ms=800";
  auto plain = game("plain", {"--time-limit", "300ms"}, bot);
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(first_text(plain.out), "TIMEOUT") << plain.out;
  auto fischer = game("fischer", {"--time-limit", "300ms", "--increment", "500ms"}, bot);
  ASSERT_EQ(fischer.status, 0) << fischer.err;
  EXPECT_NE(first_text(fischer.out), "TIMEOUT") << fischer.out;
  std::string log = read_file(root_ / "refereelogs/hostile_bot-zarvo_greedy.fischer.log");
  EXPECT_NE(log.find("Manager report:"), std::string::npos) << "a whole game";
}

TEST_F(TimeControls, ATournamentHandsTheTimeControlToEveryGameAndShowsIt) {
  fs::path dir = root_ / "t";
  auto run =
      tournament(dir, {"--games-per-pair", "2", "--move-limit", "200ms", "--increment", "50ms",
                       "--player", "greedy=" + kBin + "/zarvo-greedy --seed 1", "--player",
                       "slow=" + kHostileBot + " --mode=slow --at=2 --slow-ms=900"});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  auto json = nlohmann::json::parse(read_file(dir / "standings.json"));
  EXPECT_EQ(json["settings"]["limits"]["move-limit"], "200ms");
  EXPECT_EQ(json["settings"]["limits"]["increment"], "50ms");
  EXPECT_EQ(json["settings"]["limits"]["move_limit_s"], 0.2);
  EXPECT_EQ(json["settings"]["limits"]["increment_s"], 0.05);
  ASSERT_EQ(json["standings"][1]["player"], "slow");
  EXPECT_EQ(json["standings"][1]["disqualifications"]["TIMEOUT"], 2);
}

}  // namespace

namespace {

TEST_F(TournamentResults, ATournamentGrowsByPlayingOnlyTheNewGames) {
  fs::path dir = root_ / "grow";
  const std::vector<std::string> first_two = {
      "--player", "greedy=" + kBin + "/zarvo-greedy --seed 1", "--player",
      "random=" + kBin + "/zarvo-random --seed 2"};
  auto args = first_two;
  args.insert(args.end(), {"--games-per-pair", "2"});
  ASSERT_EQ(tournament(dir, args).status, 0);
  fs::path logs = dir / "refereelogs";
  std::string log1 = read_file(logs / "greedy-random.1.log");
  std::string log2 = read_file(logs / "random-greedy.2.log");
  auto time1 = fs::last_write_time(logs / "greedy-random.1.log");

  // A late entrant and more games per pair: only the new games are played.
  auto grown = first_two;
  grown.insert(grown.end(),
               {"--player", "other=" + kBin + "/zarvo-random --seed 3", "--games-per-pair", "4"});
  auto run = tournament(dir, grown);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("resuming: 2 of 12 games already finished"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("game 1:"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("game 2:"), std::string::npos) << run.out;
  EXPECT_EQ(read_file(logs / "greedy-random.1.log"), log1);
  EXPECT_EQ(read_file(logs / "random-greedy.2.log"), log2);
  EXPECT_EQ(fs::last_write_time(logs / "greedy-random.1.log"), time1);
  // The new pairings' first pairs come first, then every pairing's next pair.
  for (const char* game : {"greedy-other.3", "other-greedy.4", "random-other.5", "other-random.6",
                           "greedy-random.7", "random-greedy.8", "greedy-other.9",
                           "other-greedy.10", "random-other.11", "other-random.12"}) {
    EXPECT_TRUE(fs::exists(logs / (std::string(game) + ".log"))) << game;
  }
  auto json = nlohmann::json::parse(read_file(dir / "standings.json"));
  EXPECT_EQ(json["finished"], 12);
  for (const auto& row : json["standings"]) EXPECT_EQ(row["games"], 8) << row;

  // The same command again resumes; it plays nothing.
  auto again = tournament(dir, grown);
  ASSERT_EQ(again.status, 0) << again.out << again.err;
  EXPECT_NE(again.out.find("resuming: 12 of 12 games"), std::string::npos) << again.out;

  // What would change a played game is refused, naming what changed.
  auto removed =
      tournament(dir, {"--player", "greedy=" + kBin + "/zarvo-greedy --seed 1", "--player",
                       "other=" + kBin + "/zarvo-random --seed 3", "--games-per-pair", "4"});
  EXPECT_EQ(removed.status, 2);
  EXPECT_NE(removed.err.find("player random was removed"), std::string::npos) << removed.err;
  auto changed = grown;
  changed[3] = "random=" + kBin + "/zarvo-random --seed 9";
  auto command = tournament(dir, changed);
  EXPECT_EQ(command.status, 2);
  EXPECT_NE(command.err.find("the command of player random changed"), std::string::npos)
      << command.err;
  auto slower = grown;
  slower.insert(slower.end(), {"--time-limit", "7"});
  auto options = tournament(dir, slower);
  EXPECT_EQ(options.status, 2);
  EXPECT_NE(options.err.find("the match options changed"), std::string::npos) << options.err;
  auto fewer = grown;
  fewer.back() = "2";
  auto down = tournament(dir, fewer);
  EXPECT_EQ(down.status, 2);
  EXPECT_NE(down.err.find("--games-per-pair went down from 4 to 2"), std::string::npos) << down.err;
}

}  // namespace

namespace {

using test_support::write_file;

// A built entry whose bot, made by its build.sh, runs `body`.
void entry_with_bot(const fs::path& entry, const std::string& body) {
  write_file(entry / "build.sh", "cat > bot <<'EOF'\n#!/bin/sh\n" + body + "\nEOF\nchmod 755 bot\n",
             fs::perms(0644));
  fs::permissions(entry, fs::perms(0755));
}

// The site `publish` makes tells each entrant why it lost: the replay's turn record, the arena's
// note on the entrant's page and in results.csv, and who did not build; standard error and build
// logs go to the entrant's private folder only.
class PublishedSite : public test_support::EntryDirTest {};

TEST_F(PublishedSite, TellsEachEntrantWhyItLostAndKeepsStandardErrorPrivate) {
  const fs::path entries = root_ / "entries";
  fs::create_directories(entries);
  fs::permissions(entries, fs::perms(0755));
  entry_with_bot(entries / "greedy", "exec " + kBin + "/zarvo-greedy --seed 1");
  // Debug lines on standard error (private) and on standard output (its first answer).
  entry_with_bot(entries / "chatty",
                 "echo secret-stderr-line >&2\nread line\necho debug thinking\nsleep 30");
  write_file(entries / "broken" / "build.sh", "echo broken-build-output\nexit 3\n");
  fs::permissions(entries / "broken", fs::perms(0755));
  auto build = run_program({kArena, "build", (entries / "greedy").string(),
                            (entries / "chatty").string(), (entries / "broken").string()});
  ASSERT_EQ(build.status, 1) << build.out << build.err;

  const fs::path dir = root_ / "cup";
  auto run = run_program({kArena, "tournament", "--dir", dir.string(), "--seed", "site",
                          "--time-limit", "5", "--concurrency", "2", "--no-check", "--ro-dir", kBin,
                          "--entries", entries.string()});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_TRUE(fs::exists(dir / "not-built.json"));
  EXPECT_NE(read_file(dir / "standings.txt").find("  broken: failed: "), std::string::npos)
      << read_file(dir / "standings.txt");

  const std::string explanation = "standard output carries answers only";
  auto lines = lines_of(read_file(dir / "results.csv"));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(lines[0].ends_with(",outcome,cpu_ms1,cpu_ms2,peak_kib1,peak_kib2,note")) << lines[0];
  for (std::size_t i = 1; i < lines.size(); ++i) {
    auto row = csv_row(lines[i]);
    ASSERT_EQ(row.size(), 18u) << lines[i];
    EXPECT_EQ(row[11], "greedy") << lines[i];
    EXPECT_TRUE(row[17].starts_with("chatty (player ")) << row[17];
    EXPECT_NE(row[17].find("ILLEGAL in move "), std::string::npos) << row[17];
    EXPECT_NE(row[17].find(explanation), std::string::npos) << row[17];
    EXPECT_EQ(row[17].find("secret-stderr-line"), std::string::npos) << row[17];
  }

  const fs::path site = root_ / "site", private_dir = root_ / "private";
  auto publish = run_program(
      {kArena, "publish", dir.string(), site.string(), "--private", private_dir.string()});
  ASSERT_EQ(publish.status, 0) << publish.out << publish.err;

  // Each replay has its turn record, with times and the disqualification, but no standard error.
  int records = 0;
  for (const auto& file : fs::directory_iterator(site / "refereelogs")) {
    if (!file.path().string().ends_with(".turns.js")) continue;
    ++records;
    const std::string text = read_file(file.path());
    const std::string own = read_file(dir / "refereelogs" / file.path().filename());
    EXPECT_NE(own.find("secret-stderr-line"), std::string::npos) << "the run's record has it";
    EXPECT_EQ(text.find("secret-stderr-line"), std::string::npos) << text;
    EXPECT_EQ(text.find("\"stderr"), std::string::npos) << text;
    EXPECT_NE(text.find("\"ms\":"), std::string::npos) << text;
    auto record = nlohmann::json::parse(text.substr(16, text.size() - 16 - 3));
    ASSERT_EQ(record["disqualifications"].size(), 1u) << text;
    std::string page = file.path().string();
    EXPECT_TRUE(fs::exists(page.substr(0, page.size() - 9) + ".html")) << page;
  }
  EXPECT_EQ(records, 2);

  // The entrant's page explains each of its disqualifications in full.
  const std::string page = read_file(site / "players/chatty.html");
  EXPECT_NE(page.find("<td class=\"note\"><div>chatty (player "), std::string::npos) << page;
  EXPECT_NE(page.find(explanation), std::string::npos) << page;
  EXPECT_EQ(page.find("secret-stderr-line"), std::string::npos) << page;

  // The entry that did not build is listed with its build's result; its log is its own.
  const std::string index = read_file(site / "index.html");
  EXPECT_NE(index.find("<table id=\"not-built\">"), std::string::npos) << index;
  EXPECT_NE(index.find("<tr><td>broken</td><td>failed: "), std::string::npos) << index;
  auto json = nlohmann::json::parse(read_file(site / "standings.json"));
  ASSERT_EQ(json["not_built"].size(), 1u) << json["not_built"];
  EXPECT_EQ(json["not_built"][0]["player"], "broken");
  EXPECT_NE(read_file(private_dir / "broken" / "zarvo-build.log").find("broken-build-output"),
            std::string::npos);

  // chatty's folder holds its standard error, in its error files and its turn records.
  int own_records = 0;
  for (const auto& file : fs::directory_iterator(private_dir / "chatty")) {
    if (!file.path().string().ends_with(".turns.js")) continue;
    ++own_records;
    EXPECT_NE(read_file(file.path()).find("secret-stderr-line"), std::string::npos);
  }
  EXPECT_EQ(own_records, 2);
  const std::string own_notes = read_file(private_dir / "chatty" / "chatty-greedy.1.notes.txt") +
                                read_file(private_dir / "chatty" / "greedy-chatty.2.notes.txt");
  EXPECT_NE(own_notes.find(explanation), std::string::npos) << own_notes;
  EXPECT_NE(own_notes.find("secret-stderr-line"), std::string::npos) << own_notes;
  EXPECT_EQ(own_notes.find(root_.string()), std::string::npos) << own_notes;
  EXPECT_FALSE(fs::exists(private_dir / "greedy")) << "greedy wrote no standard error";
}

}  // namespace
