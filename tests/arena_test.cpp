// zarvo-arena, tested through the real programs: the arena, the referee, the sample bots and a
// test bot that misbehaves on request. Every game must end with its log, page and result, with
// the disqualification the misbehaviour calls for, and with no process left behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "arena/game/game_files.h"
#include "arena/game/game_names.h"
#include "arena/match/option_values.h"
#include "arena/match/player_command.h"
#include "arena/match/referee_protocol.h"
#include "arena/process/shell_words.h"
#include "tests/support/process_check.h"
#include "tests/support/test_files.h"

namespace fs = std::filesystem;
using test_support::ProgramRun;
using test_support::read_file;

namespace {

const std::string kBin = ZARVO_BIN_DIR;
const std::string kArena = kBin + "/zarvo-arena";
const std::string kTestBot = ARENA_TEST_BOT;

bool built_with_address_sanitizer() {
#if defined(__SANITIZE_ADDRESS__)
  return true;
#else
  return false;
#endif
}

// Both players finished the game with a result from the board.
bool both_scored(const std::string& description) {
  for (const char* one : {"WIN", "DRAW", "LOSE"}) {
    for (const char* two : {"WIN", "DRAW", "LOSE"}) {
      if (description == std::string("PLAYER_1:_") + one + ";_PLAYER_2:_" + two) return true;
    }
  }
  return false;
}

// The real time of a player as the log's time line gives it, or -1.
int logged_real_time(const std::string& log, int player) {
  std::string label = "Player " + std::to_string(player) + " used in milliseconds:";
  auto at = log.find(label);
  int used = -1, real = -1;
  if (at == std::string::npos || std::sscanf(log.c_str() + at + label.size(),
                                             " %d ( %d ms in real time)", &used, &real) != 2) {
    return -1;
  }
  return real;
}

struct Game {
  std::string name1, name2, description, winner;
  int result1 = -1, result2 = -1;
  fs::path log, page;
};

class Arena : public ::testing::Test {
 protected:
  void SetUp() override {
    test_support::adopt_orphans();
    static int counter = 0;
    marker_ = "arenamark_" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
    char dir_template[] = "/tmp/arena-test.XXXXXX";
    dir_ = ::mkdtemp(dir_template);
    // The sandboxed players run as users of their own when the tests run as root.
    fs::permissions(dir_,
                    fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                        fs::perms::others_exec,
                    fs::perm_options::add);
  }

  void TearDown() override {
    EXPECT_EQ(test_support::processes_with(marker_), std::vector<pid_t>{})
        << "processes of the game remain";
    EXPECT_EQ(test_support::live_children(), std::vector<pid_t>{}) << "orphaned descendants remain";
    fs::remove_all(dir_);
  }

  // A player command carrying the marker, so that its processes can be found afterwards.
  std::string bot(const std::string& mode, int at = 1) const {
    return kTestBot + " --mode=" + mode + " --at=" + std::to_string(at) + " --marker=" + marker_;
  }
  std::string sample(const std::string& name) const {
    return kBin + "/" + name + " --marker=" + marker_;
  }

  ProgramRun match(const std::string& player1, const std::string& player2,
                   std::vector<std::string> options = {}) const {
    std::vector<std::string> args = {kArena, "match", "--dir", dir_.string(), "--id", marker_};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(player1);
    args.push_back(player2);
    return test_support::run_program(args);
  }

  // The result line of a game that must have been played to its end:
  // "NAME1 vs NAME2: RESULT1 RESULT2 DESCRIPTION winner NAME log LOG page PAGE".
  Game completed(const ProgramRun& run) const {
    Game game;
    EXPECT_EQ(run.status, 0) << run.err;
    std::istringstream line(run.out);
    std::string vs, winner_word, log_word, page_word, log, page, rest;
    line >> game.name1 >> vs >> game.name2 >> game.result1 >> game.result2 >> game.description >>
        winner_word >> game.winner >> log_word >> log >> page_word >> page;
    std::getline(line, rest);
    if (!line || vs != "vs" || !game.name2.ends_with(":") || winner_word != "winner" ||
        log_word != "log" || page_word != "page" || !rest.empty() || !run.out.ends_with("\n") ||
        std::count(run.out.begin(), run.out.end(), '\n') != 1) {
      ADD_FAILURE() << "no result line in: " << run.out << run.err;
      return game;
    }
    game.name2.pop_back();
    game.log = log;
    game.page = page;
    EXPECT_NE(read_file(game.log).find("Manager report: " + game.description +
                                       " Score: " + std::to_string(game.result1) + "-" +
                                       std::to_string(game.result2)),
              std::string::npos)
        << read_file(game.log);
    EXPECT_NE(read_file(game.page).find("var moves=['Hh"), std::string::npos) << game.page;
    EXPECT_EQ(game.log.parent_path(), dir_ / "refereelogs");
    return game;
  }

  fs::path dir_;
  std::string marker_;
};

// --- complete games -------------------------------------------------------------------------

TEST_F(Arena, SampleBotsPlayACompleteGame) {
  Game game = completed(match(sample("zarvo-greedy"), sample("zarvo-random")));
  EXPECT_EQ(game.name1, "zarvo_greedy");
  EXPECT_EQ(game.name2, "zarvo_random");
  EXPECT_EQ(game.log, dir_ / "refereelogs" / ("zarvo_greedy-zarvo_random." + marker_ + ".log"));
  EXPECT_EQ(game.page, dir_ / "refereelogs" / ("zarvo_greedy-zarvo_random." + marker_ + ".html"));
  EXPECT_TRUE(both_scored(game.description)) << game.description;
  std::string log = read_file(game.log);
  EXPECT_NE(log.find("Round 1 player 1: "), std::string::npos);
  EXPECT_GE(logged_real_time(log, 1), 0) << log;
  EXPECT_GE(logged_real_time(log, 2), 0) << log;
  // Nothing was written to the error streams, so no error files are kept.
  for (const auto& entry : fs::directory_iterator(dir_ / "refereelogs")) {
    EXPECT_NE(entry.path().extension(), ".err") << entry.path();
  }
}

TEST_F(Arena, JavaBotPlaysThroughItsLauncher) {
  if (!fs::exists(kBin + "/RandomBot") || !fs::exists(kBin + "/RandomBot.class")) {
    GTEST_SKIP() << "RandomBot was not built (no javac or no java-launcher)";
  }
  Game game = completed(match(sample("RandomBot"), sample("zarvo-random"), {"--time-limit", "30"}));
  EXPECT_EQ(game.name1, "RandomBot");
  EXPECT_EQ(game.description.find("PLAYER_1:_CRASH"), std::string::npos) << game.description;
  EXPECT_EQ(game.description.find("PLAYER_1:_EXIT"), std::string::npos) << game.description;
  EXPECT_EQ(game.description.find("PLAYER_1:_ILLEGAL"), std::string::npos) << game.description;
}

TEST_F(Arena, NamesTilesAndViewerPathAreTakenFromTheOptions) {
  fs::path tiles = dir_ / "script.txt";
  test_support::write_tile_script(tiles);
  fs::create_directories(dir_ / "viewer");
  std::ofstream(dir_ / "viewer/zarvo.js") << "// viewer " << marker_ << "\n";
  std::ofstream(dir_ / "viewer/zarvo.css") << "/* style */\n";
  Game game = completed(match(sample("zarvo-random"), sample("zarvo-random"),
                              {"--name1", "Alpha", "--name2=beta_2", "--tiles", tiles.string(),
                               "--resources", (dir_ / "viewer").string()}));
  EXPECT_EQ(game.name1, "Alpha");
  EXPECT_EQ(game.name2, "beta_2");
  EXPECT_NE(read_file(game.log).find("Colours: 4, 2\nStarting tile: Hh654321h\n"),
            std::string::npos);
  std::string page = read_file(game.page);
  // The page loads the directory's own copy of the viewer files named by --resources.
  EXPECT_NE(page.find("src=\"../resources/zarvo.js\""), std::string::npos) << page;
  EXPECT_EQ(read_file(dir_ / "resources/zarvo.js"), "// viewer " + marker_ + "\n");
  EXPECT_NE(page.find("Zarvo game " + marker_ + ": Alpha - beta_2"), std::string::npos);
}

TEST_F(Arena, PlayerArgumentsAreSplitLikeAShellAndWorkdirIsTheProgramsDirectory) {
  Game game = completed(
      match(bot("pwd") + " 'quoted arg'", sample("zarvo-random"), {"--cwd2", dir_.string()}));
  std::string err = read_file(dir_ / "refereelogs" /
                              (game.name1 + "-" + game.name2 + "." + marker_ + ".player1.err"));
  EXPECT_EQ(err, "cwd=" + fs::path(kTestBot).parent_path().string() + "\n");
  EXPECT_EQ(game.name1, "hostile_bot");
}

// --- disqualifications ------------------------------------------------------------------------

struct Misbehaviour {
  const char* mode;
  const char* reason;
};

class Disqualification : public Arena, public ::testing::WithParamInterface<Misbehaviour> {};

TEST_P(Disqualification, OfPlayer1OnItsFirstMove) {
  Game game = completed(match(bot(GetParam().mode), sample("zarvo-random"), {"--time-limit", "1"}));
  EXPECT_EQ(game.result1, 0);
  EXPECT_TRUE(
      game.description.starts_with(std::string("PLAYER_1:_") + GetParam().reason + ";_PLAYER_2:_"))
      << game.description;
}

TEST_P(Disqualification, OfPlayer2LaterInTheGame) {
  Game game =
      completed(match(sample("zarvo-random"), bot(GetParam().mode, 3), {"--time-limit", "1"}));
  EXPECT_EQ(game.result2, 0);
  EXPECT_TRUE(
      game.description.starts_with(std::string("PLAYER_2:_") + GetParam().reason + ";_PLAYER_1:_"))
      << game.description;
}

INSTANTIATE_TEST_SUITE_P(
    Arena, Disqualification,
    ::testing::Values(Misbehaviour{"crash_abort", "CRASH"}, Misbehaviour{"exit_status", "CRASH"},
                      Misbehaviour{"exit_zero", "EXIT"}, Misbehaviour{"close_out", "EXIT"},
                      Misbehaviour{"fork_exit", "EXIT"}, Misbehaviour{"hang", "TIMEOUT"},
                      Misbehaviour{"empty", "ILLEGAL"}, Misbehaviour{"blank", "ILLEGAL"},
                      Misbehaviour{"words_bad", "ILLEGAL"}, Misbehaviour{"tag", "ILLEGAL"},
                      Misbehaviour{"flood", "ILLEGAL"}, Misbehaviour{"flood_lines", "ILLEGAL"}),
    [](const auto& info) { return std::string(info.param.mode); });

TEST_F(Arena, PlayerOverItsMemoryLimitCrashes) {
  if (built_with_address_sanitizer())
    GTEST_SKIP() << "the sanitizer needs more address space than the limit";
  Game game = completed(match(bot("memory"), sample("zarvo-random"), {"--memory-limit", "64"}));
  EXPECT_TRUE(game.description.starts_with("PLAYER_1:_CRASH")) << game.description;
}

TEST_F(Arena, TimedOutPlayerIsChargedItsWholeLimit) {
  Game game = completed(match(sample("zarvo-random"), bot("hang"), {"--time-limit", "300ms"}));
  EXPECT_GE(logged_real_time(read_file(game.log), 2), 300);
}

TEST_F(Arena, BothPlayersDisqualifiedStillGiveAReport) {
  Game game = completed(match(bot("crash_abort"), bot("exit_zero")));
  EXPECT_EQ(game.result1, 0);
  EXPECT_EQ(game.result2, 0);
  EXPECT_EQ(game.description, "PLAYER_1:_CRASH;_PLAYER_2:_EXIT");
}

TEST_F(Arena, ExtraWordsInAnAnswerCannotBeMistakenForTheArenasReplies) {
  Game game = completed(match(bot("words_ok"), bot("words_ok", 2)));
  EXPECT_TRUE(both_scored(game.description)) << game.description;
}

// --- nothing outlives the game ----------------------------------------------------------------

TEST_F(Arena, ChildForkedByAPlayerIsKilledAtTheEnd) {
  Game game = completed(match(bot("fork"), sample("zarvo-random")));
  EXPECT_EQ(game.description.find("PLAYER_1:_ILLEGAL"), std::string::npos) << game.description;
}

TEST_F(Arena, ProcessThatLeftThePlayersGroupIsKilledAtTheEnd) {
  completed(match(bot("escape"), sample("zarvo-random")));
}

TEST_F(Arena, PlayerFillingItsErrorFileIsStoppedAtTheFileLimit) {
  Game game = completed(match(bot("errflood"), sample("zarvo-random"), {"--file-limit", "1"}));
  EXPECT_EQ(game.description.substr(0, 16), "PLAYER_1:_CRASH;") << game.description;
  fs::path errors = game.log;
  errors.replace_extension(".player1.err");
  EXPECT_LE(fs::file_size(errors), 1024u * 1024u);
}

TEST_F(Arena, OrphansLeftDuringAnAnswerAreReapedWhileThePlayerThinks) {
  Game game = completed(match(bot("orphans"), sample("zarvo-random")));
  fs::path errors = game.log;
  errors.replace_extension(".player1.err");
  int zombies = -1;
  std::sscanf(read_file(errors).c_str(), "zombies %d", &zombies);
  EXPECT_GE(zombies, 0);
  EXPECT_LT(zombies, 100) << "the arena left the player's orphans unreaped";
}

TEST_F(Arena, PlayersInheritOnlyTheStandardStreams) {
  // A descriptor the arena inherited (open without close-on-exec here) must not reach a player.
  int inherited = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(inherited, 3);
  Game game = completed(match(bot("fds"), sample("zarvo-random")));
  ::close(inherited);
  fs::path errors = game.log;
  errors.replace_extension(".player1.err");
  // The listing itself holds one descriptor open on /proc/self/fd; nothing else may show.
  std::string listed = fs::exists(errors) ? read_file(errors) : "";
  EXPECT_LE(std::count(listed.begin(), listed.end(), '\n'), 1) << listed;
}

TEST_F(Arena, GameTimeoutHoldsWhileAPlayerThinks) {
  ProgramRun run =
      match(bot("hang"), sample("zarvo-random"), {"--game-timeout", "300ms", "--time-limit", "60"});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find("game timeout"), std::string::npos) << run.err;
}

TEST_F(Arena, PlayerIgnoringQuitIsKilledAfterTheGrace) {
  completed(match(bot("linger"), bot("linger"), {"--grace", "200ms"}));
}

TEST_F(Arena, StoppedBySignalKillsTheGameAndCleansUp) {
  // Only a player without a sandbox can reach the arena to signal it.
  ProgramRun run = match(bot("fork"), bot("stoparena"), {"--no-sandbox"});
  EXPECT_EQ(run.status, 128 + SIGTERM) << run.err;
  EXPECT_NE(run.err.find("stopped by signal"), std::string::npos) << run.err;
  // The referee's working directory, which links to the log directory, is gone too.
  for (const auto& entry : fs::directory_iterator(fs::temp_directory_path())) {
    std::error_code error;
    fs::path link = fs::read_symlink(entry.path() / "refereelogs", error);
    EXPECT_TRUE(error || link != dir_ / "refereelogs") << entry.path();
  }
}

// --- a referee that fails ---------------------------------------------------------------------

class FailingReferee : public Arena {
 protected:
  ProgramRun with_referee(const std::string& script, std::vector<std::string> options = {}) {
    fs::path referee = dir_ / "referee.sh";
    std::ofstream(referee) << "#!/bin/sh\n" << script << "\n";
    fs::permissions(referee, fs::perms::owner_all);
    options.insert(options.begin(), {"--referee", referee.string()});
    return match(sample("zarvo-random"), sample("zarvo-random"), options);
  }
};

TEST_F(FailingReferee, WithoutReportIsShownWithItsStandardError) {
  ProgramRun run = with_referee("echo 'board exploded' >&2; exit 1");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("without reporting"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("board exploded"), std::string::npos) << run.err;
}

TEST_F(FailingReferee, WithANonZeroStatusAfterItsReport) {
  ProgramRun run = with_referee("echo 'M report 150 150 PLAYER_1:_DRAW;_PLAYER_2:_DRAW'; exit 2");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("exit status 2"), std::string::npos) << run.err;
}

TEST_F(FailingReferee, WritingALineTheArenaCannotParse) {
  ProgramRun run = with_referee("echo 'I dance'; sleep 5");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("\"I dance\""), std::string::npos) << run.err;
}

TEST_F(FailingReferee, ThatHangsIsStoppedByTheGameTimeout) {
  ProgramRun run = with_referee("echo '1 3'; sleep 100", {"--game-timeout", "500ms"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("did not finish"), std::string::npos) << run.err;
}

TEST_F(FailingReferee, ThatFloodsItsPlayersIsStoppedByTheGameTimeout) {
  ProgramRun run = with_referee("yes '1 Hh123456h'", {"--game-timeout", "1"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("did not finish"), std::string::npos) << run.err;
}

// --- the command line -------------------------------------------------------------------------

TEST_F(Arena, RefusesNamesThatWouldBreakTheLogFileName) {
  for (const char* name : {"a-b", "a.b", "a/b", "", "a b", "it's", "\"q\"", "tab\there",
                           "abcdefghijabcdefghijabcdefghijabc"}) {
    ProgramRun run = match(sample("zarvo-random"), sample("zarvo-random"), {"--name1", name});
    EXPECT_EQ(run.status, 2) << name;
    EXPECT_NE(run.err.find("player name"), std::string::npos) << run.err;
  }
  ProgramRun run = match(sample("zarvo-random"), sample("zarvo-random"), {"--id", "1.2"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("game id"), std::string::npos) << run.err;
  EXPECT_FALSE(fs::exists(dir_ / "refereelogs")) << "refused before anything was made";
}

TEST_F(Arena, RefusesMissingProgramsAndBadOptions) {
  EXPECT_EQ(match(kBin + "/no-such-bot", sample("zarvo-random")).status, 2);
  EXPECT_EQ(match(sample("zarvo-random"), sample("zarvo-random"), {"--time-limit", "soon"}).status,
            2);
  EXPECT_EQ(match(sample("zarvo-random"), sample("zarvo-random"), {"--colour", "3"}).status, 2);
  EXPECT_EQ(match(sample("zarvo-random"), "'unterminated").status, 2);
  EXPECT_EQ(test_support::run_program({kArena, "match", sample("zarvo-random")}).status, 2);
  EXPECT_EQ(test_support::run_program({kArena, "referee"}).status, 2);
}

TEST(ArenaParts, ShellWordSplitting) {
  using arena::split_shell_words;
  using V = std::vector<std::string>;
  EXPECT_EQ(split_shell_words("  bot  --seed 7 "), (V{"bot", "--seed", "7"}));
  EXPECT_EQ(split_shell_words(R"('my bot' "a \"b\" \\c" d\ e '')"),
            (V{"my bot", "a \"b\" \\c", "d e", ""}));
  EXPECT_EQ(split_shell_words(R"("\n")"), (V{"\\n"}));
  EXPECT_THROW(split_shell_words("'open"), std::invalid_argument);
  EXPECT_THROW(split_shell_words("trailing\\"), std::invalid_argument);
}

TEST(ArenaParts, DurationsAndSizes) {
  using namespace std::chrono;
  EXPECT_EQ(duration_cast<milliseconds>(arena::parse_duration("10")), seconds(10));
  EXPECT_EQ(duration_cast<milliseconds>(arena::parse_duration("2.5s")), milliseconds(2500));
  EXPECT_EQ(duration_cast<milliseconds>(arena::parse_duration("300ms")), milliseconds(300));
  for (const char* bad : {"", "0", "-1", "1x", "ms", "nan", "1e99"}) {
    EXPECT_THROW(arena::parse_duration(bad), std::invalid_argument) << bad;
  }
  EXPECT_EQ(arena::parse_megabytes("512"), 512u);
  EXPECT_THROW(arena::parse_megabytes("0"), std::invalid_argument);
  EXPECT_THROW(arena::parse_megabytes("5MB"), std::invalid_argument);
}

TEST(ArenaParts, AnswerWordGivenToTheReferee) {
  using arena::answer_word;
  EXPECT_EQ(answer_word("Abh"), "Abh");
  EXPECT_EQ(answer_word(" \tAbh lock_ok\r"), "Abh");
  EXPECT_EQ(answer_word(" \t\r"), std::nullopt);
  EXPECT_EQ(answer_word(""), std::nullopt);
  EXPECT_EQ(answer_word("<zarvo-arena-tag-i>"), "?zarvo-arena-tag-i>");
  EXPECT_EQ(answer_word(std::string(5000, 'x'))->size(), 1023u);
}

// A tournament hands every game the options of a game it is given, checked as a match checks
// them and paths made absolute, as the games may run in another directory; the options that it
// sets for each game itself are not its to give.
TEST_F(Arena, ATournamentHandsEveryGameTheMatchOptionsItIsGiven) {
  const fs::path jobs = dir_ / "jobs.txt";
  auto tournament = [&](std::vector<std::string> options) {
    std::vector<std::string> args = {
        kArena,     "tournament",           "--dir",    dir_ / "run",          "--emit-jobs", jobs,
        "--player", kBin + "/zarvo-random", "--player", kBin + "/zarvo-greedy"};
    args.insert(args.end(), options.begin(), options.end());
    return test_support::run_program(args);
  };
  std::vector<std::vector<std::string>> given = {
      {"--time-limit", "2.5"},   {"--move-limit", "1"},
      {"--increment", "100ms"},  {"--memory-limit", "64"},
      {"--process-limit", "50"}, {"--clock", "cpu"},
      {"--wall-limit", "30"},    {"--file-limit", "8"},
      {"--grace", "2"},          {"--game-timeout", "90"},
      {"--env", "ZARVO_X=1"},    {"--no-sandbox"},
      {"--no-syscall-filter"},   {"--transcript"},
      {"--keep-player-files"},   {"--ponder"}};
  const std::vector<std::vector<std::string>> paths = {
      {"--referee", "my-referee"}, {"--resources", "res"}, {"--ro-dir", "shared"}};
  std::vector<std::string> options;
  for (const auto& words : given) options.insert(options.end(), words.begin(), words.end());
  for (const auto& words : paths) options.insert(options.end(), words.begin(), words.end());
  ProgramRun run = tournament(options);
  ASSERT_EQ(run.status, 0) << run.err;

  std::string jobs_text = read_file(jobs);
  std::string line = jobs_text.substr(0, jobs_text.find('\n'));
  const std::vector<std::string> job = arena::split_shell_words(line);
  for (const auto& words : paths) given.push_back({words[0], fs::absolute(words[1]).string()});
  for (const auto& words : given) {
    EXPECT_NE(std::search(job.begin(), job.end(), words.begin(), words.end()), job.end())
        << words[0] << " in " << line;
  }

  ProgramRun bad = tournament({"--grace", "soon"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("--grace: not a positive duration"), std::string::npos) << bad.err;
  ProgramRun per_game = tournament({"--tiles", "t.txt"});
  EXPECT_EQ(per_game.status, 2);
  EXPECT_NE(per_game.err.find("unknown option --tiles"), std::string::npos) << per_game.err;
}

// Every command reads its command line the same way, so the same mistake gets the same answer
// from each: the message, the pointer to its --help and exit status 2.
TEST(ArenaCommandLine, EveryCommandAnswersTheSameMistakeAlike) {
  struct Mistake {
    std::string command;
    std::vector<std::string> args;
    std::string message;
  };
  std::vector<Mistake> mistakes;
  for (const char* command :
       {"match", "tournament", "sprt", "standings", "publish", "build", "check", "check-sandbox"}) {
    mistakes.push_back({command, {"--bogus", "x"}, "unknown option --bogus"});
    mistakes.push_back({command, {"--bogus=1"}, "unknown option --bogus"});
  }
  for (auto [command, option] :
       std::vector<std::pair<std::string, std::string>>{{"match", "--grace"},
                                                        {"tournament", "--dir"},
                                                        {"sprt", "--dir"},
                                                        {"standings", "--exclude"},
                                                        {"publish", "--title"},
                                                        {"build", "--launcher"},
                                                        {"check", "--opponent"}}) {
    mistakes.push_back({command, {option}, option + " needs a value"});
    mistakes.push_back({command, {option + "="}, option + " needs a value"});
  }
  // A whole number takes no blanks, and each option has one range whichever command takes it.
  const std::string processes = " is not a whole number from 1 to 100000";
  const std::string concurrency = " is not a whole number from 1 to 1024";
  for (const char* command : {"match", "tournament", "build", "check"}) {
    mistakes.push_back({command, {"--process-limit", " 5"}, "--process-limit: \" 5\"" + processes});
    mistakes.push_back({command, {"--process-limit", "5x"}, "--process-limit: \"5x\"" + processes});
    mistakes.push_back({command, {"--process-limit=0"}, "--process-limit: \"0\"" + processes});
  }
  for (const char* command : {"tournament", "sprt"}) {
    mistakes.push_back({command, {"--concurrency", "5 "}, "--concurrency: \"5 \"" + concurrency});
    mistakes.push_back(
        {command, {"--concurrency", "5000"}, "--concurrency: \"5000\"" + concurrency});
  }
  mistakes.push_back({"sprt",
                      {"--max-pairs", "0"},
                      "--max-pairs: \"0\" is not a whole number from 1 to 100000000"});
  mistakes.push_back({"sprt", {"--elo0", "ten"}, "--elo0: \"ten\" is not a number"});
  mistakes.push_back({"match", {"--ponder=yes"}, "--ponder takes no value"});

  for (const Mistake& mistake : mistakes) {
    std::vector<std::string> args = {kArena, mistake.command};
    args.insert(args.end(), mistake.args.begin(), mistake.args.end());
    ProgramRun run = test_support::run_program(args);
    EXPECT_EQ(run.status, 2) << mistake.command << " " << mistake.args[0];
    EXPECT_EQ(run.err, "zarvo-arena " + mistake.command + ": " + mistake.message +
                           "\n(see zarvo-arena " + mistake.command + " --help)\n")
        << mistake.command << " " << mistake.args[0];
    EXPECT_EQ(run.out, "");
  }
}

TEST(ArenaParts, GameFileNamesReadBackFromTheLog) {
  arena::GameFiles files("out", "alpha", "beta_2", "7");
  EXPECT_EQ(files.log(), fs::path("out/refereelogs/alpha-beta_2.7.log"));
  EXPECT_EQ(files.player_errors(2), fs::path("out/refereelogs/alpha-beta_2.7.player2.err"));
  EXPECT_EQ(files.log_argument(), "./refereelogs/alpha-beta_2.7.log");
  auto parsed = arena::GameFiles::from_log(files.log());
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->base(), files.base());
  EXPECT_EQ(parsed->page(), files.page());
  for (const char* other : {"a-b.log.failed", "a.b-c.log", "ab.1.log", "a-b.1.2.log", "a-b.x y.log",
                            "a-b..log", "-b.1.log"}) {
    EXPECT_FALSE(arena::GameFiles::from_log(fs::path("out/refereelogs") / other)) << other;
  }
}

TEST(ArenaParts, InterpretersAreKnownByName) {
  for (const char* name : {"python3", "python3.11", "python", "pypy3", "node", "java", "sh"}) {
    EXPECT_TRUE(arena::is_interpreter(name)) << name;
  }
  for (const char* name : {"zarvo-random", "RandomBot", "python3-config", "mybot.py", ""}) {
    EXPECT_FALSE(arena::is_interpreter(name)) << name;
  }
}

TEST(ArenaParts, DefaultNamesAndIds) {
  EXPECT_EQ(arena::name_from_program("zarvo-random"), "zarvo_random");
  EXPECT_EQ(arena::name_from_program("bot.py"), "bot_py");
  EXPECT_FALSE(arena::player_name_problem(arena::name_from_program(std::string(80, 'a'))));
  EXPECT_FALSE(arena::game_id_problem(arena::unique_game_id()));
  EXPECT_NE(arena::unique_game_id(), arena::unique_game_id());
}

}  // namespace
