// zarvo-checker end to end: the real program under a scripted match manager.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "referee/board.h"
#include "referee/movegen.h"
#include "referee/scoring.h"
#include "rng/secure_rng.h"
#include "tests/support/scripted_manager.h"

using zarvo_test::managerTag;
using zarvo_test::RefereeRun;
using zarvo_test::RefereeSetup;
using zarvo_test::runReferee;

namespace {

const std::string kChecker = std::string(ZARVO_BIN_DIR) + "/zarvo-checker";
const std::string kFixedSeedChecker = std::string(ZARVO_BIN_DIR) + "/zarvo-checker-fixed-seed";
const std::string kLogPath = "./refereelogs/alpha-beta.7.log";
const std::string kPage = "refereelogs/alpha-beta.7.html";

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string moveText(const move& m) {
  return std::string{static_cast<char>(64 + m.rij), static_cast<char>(96 + m.kolom)} + m.tekst;
}

struct Result {
  int value;
  std::string text;
};

Result resultFor(int own, int other) {
  int d = own - other;
  if (d > 0) return {200 + d, "WIN"};
  if (d == 0) return {150, "DRAW"};
  return {100 - std::min(-d, 100), "LOSE"};
}

// A game played in advance with the rules library: both players always take the first legal
// move, on tiles that walk through the permutations of 1..6. Gives the tile script for it and
// everything the referee must say about it.
struct PlannedGame {
  int colour1 = 3;
  int colour2 = 1;
  std::vector<std::string> tiles;  // the starting tile, one per turn, and the tile that ends it
  std::vector<std::string> moves;  // full move texts
  int points1 = 0;
  int points2 = 0;

  std::string script(size_t tileCount) const {
    std::string text = std::to_string(colour1) + " " + std::to_string(colour2) + "\n";
    for (size_t i = 0; i < tileCount; ++i) text += tiles[i] + "\n";
    return text;
  }
  std::string script() const { return script(tiles.size()); }
  std::string startMove() const { return "Hh" + tiles[0] + "h"; }

  // The referee's lines up to and including the exchange of move `upTo`.
  std::vector<std::string> linesOfPlay(size_t upTo) const {
    std::vector<std::string> lines{"1 " + std::to_string(colour1), "1 " + startMove(), "1 Start"};
    for (size_t i = 0; i < upTo; ++i) {
      const char who = static_cast<char>('1' + i % 2);
      const char opponent = static_cast<char>('1' + (i + 1) % 2);
      lines.push_back(std::string{who, ' '} + tiles[i + 1]);
      lines.insert(lines.end(), {"I lock", std::string("I listen ") + who, "I unlock"});
      if (i == 0) {
        lines.push_back("2 " + std::to_string(colour2));
        lines.push_back("2 " + startMove());
      }
      lines.push_back(std::string{opponent, ' '} + moves[i]);
    }
    return lines;
  }

  std::string description() const {
    return "PLAYER_1:_" + resultFor(points1, points2).text + ";_PLAYER_2:_" +
           resultFor(points2, points1).text;
  }
  std::string report() const {
    return "M report " + std::to_string(resultFor(points1, points2).value) + " " +
           std::to_string(resultFor(points2, points1).value) + " " + description();
  }

  std::vector<std::string> lines(bool withLog) const {
    std::vector<std::string> all = linesOfPlay(moves.size());
    all.insert(all.end(), {"1 Quit", "2 Quit"});
    if (withLog) all.insert(all.end(), {"I request_time 1", "I request_time 2"});
    all.push_back(report());
    return all;
  }

  std::string log() const {
    std::string text = "Game log: " + kLogPath + "\n\nColours: " + std::to_string(colour1) + ", " +
                       std::to_string(colour2) + "\nStarting tile: " + startMove() + "\n\n";
    for (size_t i = 0; i < moves.size(); ++i) {
      text += "Round " + std::to_string(i + 1) + " player " + std::to_string(i % 2 + 1) + ": " +
              moves[i] + "\n";
    }
    text += "\nPlayer 1 gained " + std::to_string(points1) + " points\nPlayer 2 gained " +
            std::to_string(points2) + " points\n";
    text += "\nPlayer 1 used in milliseconds:    1480 (  1503 ms in real time)\n";
    text += "Player 2 used in milliseconds:     10 (    20 ms in real time)\n";
    text += "\nManager report: " + description() +
            " Score: " + std::to_string(resultFor(points1, points2).value) + "-" +
            std::to_string(resultFor(points2, points1).value) + ".\n";
    return text;
  }
};

PlannedGame planFirstLegalGame(int step, int colour1, int colour2) {
  PlannedGame game;
  game.colour1 = colour1;
  game.colour2 = colour2;
  std::string tile = "523146";
  situatie board{};
  init(board);
  move start{8, 8, ""};
  std::snprintf(start.tekst, sizeof start.tekst, "%sh", tile.c_str());
  plaats(board, start);
  game.tiles.push_back(tile);
  std::vector<move> list(MAXZETTEN);
  for (;;) {
    for (int i = 0; i < step; ++i) std::next_permutation(tile.begin(), tile.end());
    game.tiles.push_back(tile);
    if (genereerzetten(board.bezet, list.data(), tile.c_str()) == 0) break;
    plaats(board, list[0]);
    game.moves.push_back(moveText(list[0]));
  }
  game.points1 = telpunten(board.bord, game.colour1);
  game.points2 = telpunten(board.bord, game.colour2);
  return game;
}

const PlannedGame& plannedGame() {
  static const PlannedGame game = planFirstLegalGame(19, 3, 1);  // 18 points against 0
  return game;
}

RefereeSetup scriptSetup(const std::string& tiles) {
  RefereeSetup setup;
  setup.binary = kChecker;
  setup.tiles = tiles;
  setup.logPath = kLogPath;
  return setup;
}

void expectCleanRun(const RefereeRun& run, int status) {
  EXPECT_FALSE(run.hung);
  EXPECT_EQ(run.exitStatus, status);
  EXPECT_EQ(run.faults, std::vector<std::string>{});
  EXPECT_EQ(run.file("stderr.txt"), "");
}

// ---------------------------------------------------------------------------------------------
// A whole game from a tile script.

TEST(RefereeScriptGame, PlaysTheScriptExactlyWithEveryLineLogLineAndThePage) {
  const PlannedGame& game = plannedGame();
  ASSERT_GT(game.moves.size(), 10u);
  EXPECT_EQ(game.lines(true).back(), "M report 218 82 PLAYER_1:_WIN;_PLAYER_2:_LOSE");
  RefereeRun run = runReferee(scriptSetup(game.script()));
  expectCleanRun(run, 0);
  EXPECT_EQ(run.lines, game.lines(true));
  EXPECT_EQ(run.file(kLogPath), game.log());

  std::string moveList = "var moves=['" + game.startMove() + "', ";
  for (size_t i = 0; i < game.moves.size(); ++i) {
    moveList += (i ? ",'" : "'") + game.moves[i] + "'";
  }
  const std::string page = run.file(kPage);
  EXPECT_NE(page.find(moveList + "];"), std::string::npos) << page;
  EXPECT_NE(page.find("new Zarvo([ 'alpha', 'beta' ], moves, [ 3, 1 ]);"), std::string::npos);
  EXPECT_NE(page.find("../bin/resources/zarvo.js"), std::string::npos);
}

void PrintTo(const PlannedGame& game, std::ostream* os) {
  *os << game.moves.size() << " moves, " << game.points1 << " against " << game.points2;
}

// Results by the points: player 2 winning, and a draw with points on the board.
class RefereeScriptResult : public testing::TestWithParam<PlannedGame> {};

TEST_P(RefereeScriptResult, FollowsThePoints) {
  const PlannedGame& game = GetParam();
  ASSERT_GT(game.points1 + game.points2, 0);
  RefereeRun run = runReferee(scriptSetup(game.script()));
  expectCleanRun(run, 0);
  EXPECT_EQ(run.lines, game.lines(true));
  EXPECT_EQ(run.file(kLogPath), game.log());
}

INSTANTIATE_TEST_SUITE_P(Games, RefereeScriptResult,
                         testing::Values(planFirstLegalGame(14, 2, 3),   // 6 against 12
                                         planFirstLegalGame(5, 4, 3)));  // 9 against 9

TEST(RefereeScriptGame, StartsWithTheSequenceEachPlayerIsPromised) {
  const PlannedGame& game = plannedGame();
  RefereeRun run = runReferee(scriptSetup(game.script()));
  ASSERT_GE(run.lines.size(), 12u);
  const std::vector<std::string> opening(run.lines.begin(), run.lines.begin() + 12);
  EXPECT_EQ(opening,
            (std::vector<std::string>{"1 3", "1 Hh523146h", "1 Start", "1 " + game.tiles[1],
                                      "I lock", "I listen 1", "I unlock", "2 1", "2 Hh523146h",
                                      "2 " + game.moves[0], "2 " + game.tiles[2], "I lock"}));
  EXPECT_EQ(run.received[1].back(), "Quit");
  EXPECT_EQ(run.received[0].back(), "Quit");
}

TEST(RefereeScriptGame, WithoutALogArgumentAsksNoTimesAndWritesNoFiles) {
  const PlannedGame& game = plannedGame();
  RefereeSetup setup = scriptSetup(game.script());
  setup.logPath.reset();
  RefereeRun run = runReferee(setup);
  expectCleanRun(run, 0);
  EXPECT_EQ(run.lines, game.lines(false));
  EXPECT_TRUE(std::filesystem::is_empty(run.dir.path() / "refereelogs"));
}

TEST(RefereeScriptGame, IgnoresJunkBeforeLockOkAndWordsAfterTheAnswer) {
  const PlannedGame& game = plannedGame();
  RefereeSetup setup = scriptSetup(game.script());
  setup.beforeLockOk = "noise Kd654321v lock lock_okay";
  setup.answers[0] = {"@ and some more words", "@\tsecond"};
  setup.answers[1] = {"@ x y z"};
  setup.refereeTxt = "jspath=../viewer/\n";
  RefereeRun run = runReferee(setup);
  expectCleanRun(run, 0);
  EXPECT_EQ(run.lines, game.lines(true));
  EXPECT_NE(run.file(kPage).find("../viewer/zarvo.js"), std::string::npos);
}

// ---------------------------------------------------------------------------------------------
// Tile script checking: a script that cannot be played is refused, with status 1 and no report.

struct ScriptFault {
  std::string script;
  std::string error;  // the log line
};

void PrintTo(const ScriptFault& fault, std::ostream* os) { *os << '"' << fault.script << '"'; }

class RefereeBadScript : public testing::TestWithParam<ScriptFault> {};

TEST_P(RefereeBadScript, IsRefusedBeforeAnyPlay) {
  RefereeRun run = runReferee(scriptSetup(GetParam().script));
  EXPECT_FALSE(run.hung);
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.lines, std::vector<std::string>{});
  const std::vector<std::string> log = splitLines(run.file(kLogPath));
  EXPECT_EQ(log, (std::vector<std::string>{"Game log: " + kLogPath, "", GetParam().error}));
  // The same reason reaches standard error, for a referee started without a log.
  EXPECT_EQ(run.file("stderr.txt"),
            "zarvo-checker: " + GetParam().error.substr(std::string("Error: ").size()) + "\n");
}

const std::string kColourError =
    "Error: The tile script \"tiles.txt\" must start with two different colours from 1 to 6; "
    "\"";

INSTANTIATE_TEST_SUITE_P(
    Scripts, RefereeBadScript,
    testing::Values(
        ScriptFault{"", "Error: The tile script \"tiles.txt\" ends before its two colours."},
        ScriptFault{"3\n", "Error: The tile script \"tiles.txt\" ends before its two colours."},
        ScriptFault{"3 3\n523146\n", kColourError + "3\" is refused."},
        ScriptFault{"0 2\n523146\n", kColourError + "0\" is refused."},
        ScriptFault{"3 7\n523146\n", kColourError + "7\" is refused."},
        ScriptFault{"three one\n523146\n", kColourError + "three\" is refused."},
        ScriptFault{"3 1\n", "Error: The tile script \"tiles.txt\" ends before the starting tile."},
        ScriptFault{"3 1\n12345\n",
                    "Error: The tile script \"tiles.txt\" holds \"12345\" as the starting tile, "
                    "which is not a permutation of the digits 1 to 6."},
        ScriptFault{"3 1\n5231466\n",
                    "Error: The tile script \"tiles.txt\" holds \"5231466\" as the starting tile, "
                    "which is not a permutation of the digits 1 to 6."},
        ScriptFault{"3 1\n523145\n",
                    "Error: The tile script \"tiles.txt\" holds \"523145\" as the starting tile, "
                    "which is not a permutation of the digits 1 to 6."}));

TEST(RefereeScriptChecking, ABadTileLaterStopsThePlayAtThatDraw) {
  RefereeRun run = runReferee(scriptSetup("3 1\n523146\n256143\n25614x\n"));
  EXPECT_EQ(run.exitStatus, 1);
  const std::vector<std::string> log = splitLines(run.file(kLogPath));
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(),
            "Error: The tile script \"tiles.txt\" holds \"25614x\" as the tile for move 2, which "
            "is not a permutation of the digits 1 to 6.");
  ASSERT_EQ(run.lines.size(), 10u);
  EXPECT_EQ(run.lines.back().substr(0, 2), "2 ");  // player 1's move reached player 2, no more
}

TEST(RefereeScriptChecking, AScriptThatRunsOutStopsWithoutReport) {
  const PlannedGame& game = plannedGame();
  const size_t short_by_one = game.tiles.size() - 1;
  RefereeRun run = runReferee(scriptSetup(game.script(short_by_one)));
  EXPECT_FALSE(run.hung);
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.lines, game.linesOfPlay(game.moves.size()));
  const std::vector<std::string> log = splitLines(run.file(kLogPath));
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "Error: The tile script \"tiles.txt\" ran out after " +
                            std::to_string(short_by_one) + " tiles: it holds no tile for move " +
                            std::to_string(game.moves.size() + 1) + ".");
  EXPECT_FALSE(run.exists(kPage));
}

TEST(RefereeScriptChecking, AScriptWithOnlyTheStartingTileRunsOutAtMoveOne) {
  RefereeRun run = runReferee(scriptSetup("3 1 523146"));
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_EQ(run.lines, (std::vector<std::string>{"1 3", "1 Hh523146h", "1 Start"}));
  EXPECT_EQ(splitLines(run.file(kLogPath)).back(),
            "Error: The tile script \"tiles.txt\" ran out after 1 tiles: it holds no tile for "
            "move 1.");
}

// ---------------------------------------------------------------------------------------------
// Checking answers. Player 1 gives the answer on the first move; player 2 then crashes, so the
// game ends at once with two disqualifications.

struct Answer {
  std::string sent;
  std::string message;
};

void PrintTo(const Answer& answer, std::ostream* os) { *os << '"' << answer.sent << '"'; }

class RefereeAnswerCheck : public testing::TestWithParam<Answer> {};

TEST_P(RefereeAnswerCheck, DisqualifiesWithTheMessageOfTheFirstFailingCheck) {
  const PlannedGame& game = plannedGame();
  RefereeSetup setup = scriptSetup(game.script());
  setup.answers[0] = {GetParam().sent};
  setup.answers[1] = {managerTag('r')};
  RefereeRun run = runReferee(setup);
  expectCleanRun(run, 0);

  // Player 1 is told Quit right after its answer; player 2 still hears its colour and the start
  // move before the substitute move laid for player 1.
  ASSERT_EQ(run.lines.size(), 18u);
  const std::string substitute = run.lines[10].substr(2);
  EXPECT_EQ(run.lines,
            (std::vector<std::string>{
                "1 3", "1 Hh523146h", "1 Start", "1 " + game.tiles[1], "I lock", "I listen 1",
                "I unlock", "1 Quit", "2 1", "2 Hh523146h", "2 " + substitute, "2 " + game.tiles[2],
                "I lock", "I listen 2", "I unlock", "I request_time 1", "I request_time 2",
                "M report 0 0 PLAYER_1:_ILLEGAL;_PLAYER_2:_CRASH"}));
  EXPECT_EQ(substitute.substr(2, 6), game.tiles[1]);

  EXPECT_EQ(
      splitLines(run.file(kLogPath)),
      (std::vector<std::string>{
          "Game log: " + kLogPath, "", "Colours: 3, 1", "Starting tile: Hh523146h", "",
          "Result: The Player 1 player has been disqualified in move 1: " + GetParam().message,
          "Round 1 player 1: " + substitute,
          "Result: The Player 2 player has been disqualified in move 2: Player Player 2 "
          "crashed.",
          "Result: Game ends with 2 disqualifies.", "",
          "Player 1 used in milliseconds:    1480 (  1503 ms in real time)",
          "Player 2 used in milliseconds:     10 (    20 ms in real time)", "",
          "Manager report: PLAYER_1:_ILLEGAL;_PLAYER_2:_CRASH Score: 0-0."}));
}

// The board holds only the starting tile: rows H and I, columns h to m.
INSTANTIATE_TEST_SUITE_P(
    CheckTable, RefereeAnswerCheck,
    testing::Values(
        Answer{"Hh", "Player Player 1 made an illegal move Hh (wrong length)."},
        Answer{"Hhvv", "Player Player 1 made an illegal move Hhvv (wrong length)."},
        Answer{managerTag('e'), "Player Player 1 made an illegal move  (wrong length)."},
        Answer{"Gj h", "Player Player 1 made an illegal move Gj (wrong length)."},
        Answer{"Hhx", "Player Player 1 made an illegal move Hhx (no vertical or horizontal)."},
        Answer{"HhH", "Player Player 1 made an illegal move HhH (no vertical or horizontal)."},
        Answer{"Pah", "Player Player 1 made an illegal move Pah (out of board)."},
        Answer{"Lav", "Player Player 1 made an illegal move Lav (out of board)."},
        Answer{"Oov", "Player Player 1 made an illegal move Oov (out of board)."},
        Answer{"aAh", "Player Player 1 made an illegal move aAh (out of board)."},
        Answer{"Aph", "Player Player 1 made an illegal move Aph (out of board)."},
        Answer{"Atv", "Player Player 1 made an illegal move Atv (out of board)."},
        Answer{"AAh", "Player Player 1 made an illegal move AAh (out of board)."},
        Answer{"Hhh", "Player Player 1 made a move Hhh with too many overlaps."},
        Answer{"Gih", "Player Player 1 made a move Gih with too many overlaps."},
        Answer{"Aah", "Player Player 1 made a move Aah not adjacent to the tiles."},
        Answer{"Fbh", "Player Player 1 made a move Fbh not adjacent to the tiles."},
        Answer{"Ooh", "Player Player 1 made a move Ooh not adjacent to the tiles."}));

TEST(RefereeAnswerCheck, AnOverlongAnswerIsCutInTheMessageAndPlayGoesOn) {
  const PlannedGame& game = plannedGame();
  RefereeSetup setup = scriptSetup(game.script());
  setup.answers[0] = {std::string(3000, 'A')};
  setup.answers[1] = {managerTag('r')};
  RefereeRun run = runReferee(setup);
  expectCleanRun(run, 0);
  EXPECT_EQ(run.lines.back(), "M report 0 0 PLAYER_1:_ILLEGAL;_PLAYER_2:_CRASH");
  const std::string start =
      "Result: The Player 1 player has been disqualified in move 1: Player Player 1 made an "
      "illegal move AAA";
  bool found = false;
  for (const std::string& line : splitLines(run.file(kLogPath))) {
    EXPECT_LE(line.size(), 1022u);
    if (line.rfind(start, 0) == 0) found = true;
  }
  EXPECT_TRUE(found);
}

TEST(RefereeAnswerCheck, FourOverlapsAndEdgeContactPass) {
  for (const std::string answer : {"Gjh", "Hhv", "Jhh"}) {
    SCOPED_TRACE(answer);
    const PlannedGame& game = plannedGame();
    RefereeSetup setup = scriptSetup(game.script());
    setup.answers[0] = {answer, managerTag('t')};
    setup.answers[1] = {managerTag('r')};
    RefereeRun run = runReferee(setup);
    expectCleanRun(run, 0);
    EXPECT_EQ(run.lines[7], "2 1");
    EXPECT_EQ(run.lines[9], "2 " + answer.substr(0, 2) + game.tiles[1] + answer[2]);
    EXPECT_EQ(run.lines.back(), "M report 0 0 PLAYER_2:_CRASH;_PLAYER_1:_EXIT");
    EXPECT_TRUE(contains(splitLines(run.file(kLogPath)),
                         "Round 1 player 1: " + answer.substr(0, 2) + game.tiles[1] + answer[2]));
  }
}

// ---------------------------------------------------------------------------------------------
// Manager tags in place of an answer.

struct Tag {
  char selector;
  std::string reason;
  std::string message;
  bool quitSent;
};

void PrintTo(const Tag& tag, std::ostream* os) { *os << tag.reason; }

class RefereeTag : public testing::TestWithParam<Tag> {};

TEST_P(RefereeTag, DisqualifiesWithItsReasonAndQuitOnlyForARuleBreak) {
  const PlannedGame& game = plannedGame();
  RefereeSetup setup = scriptSetup(game.script());
  setup.answers[0] = {"@", managerTag('r')};
  setup.answers[1] = {managerTag(GetParam().selector)};
  RefereeRun run = runReferee(setup);
  expectCleanRun(run, 0);

  // Player 2's answer exchange is lines 10 to 13; then its substitute move goes to player 1.
  ASSERT_GE(run.lines.size(), 15u);
  EXPECT_EQ(run.lines[13], "I unlock");
  EXPECT_EQ(run.lines[14] == "2 Quit", GetParam().quitSent);
  EXPECT_EQ(run.lines.back(), "M report 0 0 PLAYER_2:_" + GetParam().reason + ";_PLAYER_1:_CRASH");
  EXPECT_TRUE(contains(
      splitLines(run.file(kLogPath)),
      "Result: The Player 2 player has been disqualified in move 2: " + GetParam().message));
}

INSTANTIATE_TEST_SUITE_P(
    Tags, RefereeTag,
    testing::Values(Tag{'e', "ILLEGAL", "Player Player 2 made an illegal move  (wrong length).",
                        true},
                    Tag{'i', "TIMEOUT", "Player Player 2 exceeded global time limit.", false},
                    Tag{'r', "CRASH", "Player Player 2 crashed.", false},
                    Tag{'t', "EXIT", "Player Player 2 exited too early.", false}));

// ---------------------------------------------------------------------------------------------
// One disqualification: the game goes on with substitute moves for the disqualified player.

struct OneOut {
  int out;                          // index of the disqualified player
  std::deque<std::string> answers;  // its answers
  std::string reason;
  int quitsForOut;  // "Quit" lines it is sent
};

void PrintTo(const OneOut& c, std::ostream* os) {
  *os << "player " << c.out + 1 << ' ' << c.reason;
}

class RefereeOneDisqualified : public testing::TestWithParam<OneOut> {};

TEST_P(RefereeOneDisqualified, PlaysOnAndScoresTheOtherPlayer) {
  const OneOut& c = GetParam();
  RefereeSetup setup;
  setup.binary = kChecker;  // random mode: the substitutes may lengthen the game at will
  setup.logPath = kLogPath;
  setup.answers[c.out] = c.answers;
  RefereeRun run = runReferee(setup);
  expectCleanRun(run, 0);

  const int stays = 1 - c.out;
  const std::vector<std::string>& outGot = run.received[c.out];
  EXPECT_EQ(std::count(outGot.begin(), outGot.end(), "Quit"), c.quitsForOut);
  EXPECT_EQ(outGot.back(), "Quit");

  // The remaining player hears of every move: count its move lines against the log's rounds.
  const std::vector<std::string> log = splitLines(run.file(kLogPath));
  const auto rounds = std::count_if(
      log.begin(), log.end(), [](const std::string& line) { return line.rfind("Round ", 0) == 0; });
  const std::vector<std::string>& got = run.received[stays];
  const auto movesHeard = std::count_if(got.begin(), got.end(),
                                        [](const std::string& text) { return text.size() == 9; });
  const auto ownMoves = std::count_if(log.begin(), log.end(), [&](const std::string& line) {
    return line.rfind("Round ", 0) == 0 &&
           line.find(" player " + std::to_string(stays + 1) + ": ") != std::string::npos;
  });
  EXPECT_EQ(movesHeard, rounds - ownMoves + 1);  // + the start move
  EXPECT_GT(rounds, 10);

  // The report: the disqualified player first, the other by the points in the log.
  int points[2] = {-1, -1};
  for (const std::string& line : log) {
    int value = 0;
    if (std::sscanf(line.c_str(), "Player 1 gained %d points", &value) == 1) points[0] = value;
    if (std::sscanf(line.c_str(), "Player 2 gained %d points", &value) == 1) points[1] = value;
  }
  ASSERT_GE(points[0], 0);
  ASSERT_GE(points[1], 0);
  const Result r = resultFor(points[stays], points[c.out]);
  const std::string description = "PLAYER_" + std::to_string(c.out + 1) + ":_" + c.reason +
                                  ";_PLAYER_" + std::to_string(stays + 1) + ":_" + r.text;
  const std::string values =
      c.out == 0 ? "0 " + std::to_string(r.value) : std::to_string(r.value) + " 0";
  EXPECT_EQ(run.lines.back(), "M report " + values + " " + description);
  const std::vector<std::string> tail(run.lines.end() - 5, run.lines.end() - 1);
  EXPECT_EQ(tail,
            (std::vector<std::string>{"1 Quit", "2 Quit", "I request_time 1", "I request_time 2"}));
}

INSTANTIATE_TEST_SUITE_P(Players, RefereeOneDisqualified,
                         testing::Values(OneOut{1, {"@", managerTag('i')}, "TIMEOUT", 1},
                                         OneOut{0, {"@", "Zz9"}, "ILLEGAL", 2},
                                         OneOut{0, {managerTag('t')}, "EXIT", 1}));

TEST(RefereeOneDisqualified, PlayerTwoOutHearsNothingButTheFinalQuit) {
  RefereeSetup setup;
  setup.binary = kChecker;
  setup.logPath = kLogPath;
  setup.answers[1] = {managerTag('r')};
  RefereeRun run = runReferee(setup);
  expectCleanRun(run, 0);
  // Colour, start move, player 1's first move, its first tile; then only the final Quit.
  EXPECT_EQ(run.received[1].size(), 5u);
  EXPECT_EQ(run.received[1].back(), "Quit");
}

// ---------------------------------------------------------------------------------------------
// Random mode with a fixed seed (the test build of the program).
#ifdef ZARVO_FIXED_SEED_PROGRAM

RefereeSetup seededSetup(const std::string& seedHex) {
  RefereeSetup setup;
  setup.binary = kFixedSeedChecker;
  setup.logPath = kLogPath;
  if (!seedHex.empty()) setup.env.emplace_back("ZARVO_TEST_SEED", seedHex);
  return setup;
}

TEST(RefereeRandomMode, ZeroSeedGivesTheKnownColoursAndTiles) {
  RefereeRun run = runReferee(seededSetup(""));
  expectCleanRun(run, 0);
  ASSERT_GE(run.lines.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(run.lines.begin(), run.lines.begin() + 4),
            (std::vector<std::string>{"1 3", "1 Hh523146h", "1 Start", "1 256143"}));
  const std::vector<std::string> log = splitLines(run.file(kLogPath));
  ASSERT_GE(log.size(), 5u);
  EXPECT_EQ(log[2], "Colours: 3, 1");
  EXPECT_EQ(log[3], "Starting tile: Hh523146h");
  EXPECT_EQ(run.lines.back().rfind("M report ", 0), 0u);
}

TEST(RefereeRandomMode, SameSeedAndAnswersGiveTheSameGameMoveForMove) {
  const std::string seed(128, 'a');
  auto play = [&](const std::string& hex) {
    RefereeSetup setup = seededSetup(hex);
    setup.answers[0] = {"@", "@", managerTag('r')};  // substitutes draw from the stream too
    return runReferee(setup);
  };
  RefereeRun first = play(seed);
  RefereeRun second = play(seed);
  expectCleanRun(first, 0);
  EXPECT_EQ(first.lines, second.lines);
  EXPECT_EQ(first.file(kLogPath), second.file(kLogPath));
  EXPECT_EQ(first.file(kPage), second.file(kPage));

  RefereeRun other = play(std::string(127, '0') + "1");
  EXPECT_NE(first.lines, other.lines);
}

TEST(RefereeRandomMode, SubstituteMovesComeFromTheStreamInTheGamesOrderOfDraws) {
  RefereeSetup setup = seededSetup("");
  setup.answers[0] = {managerTag('r')};
  RefereeRun run = runReferee(setup);
  expectCleanRun(run, 0);
  std::vector<std::string> rounds;
  for (const std::string& line : splitLines(run.file(kLogPath))) {
    if (line.rfind("Round ", 0) == 0) rounds.push_back(line.substr(line.find(": ") + 2));
  }
  ASSERT_GT(rounds.size(), 10u);

  // Replay the referee's use of the zero-seed stream: colours, starting tile, then per turn the
  // tile and, on player 1's turns, the substitute move.
  SRAND(&sc);
  RAND(&sc, 6);
  RAND(&sc, 5);
  auto drawTile = [] {
    int order[6] = {0, 1, 2, 3, 4, 5};
    RANDOM_SHUFFLE(&sc, order, 6);
    std::string tile;
    for (int k : order) tile += static_cast<char>('1' + k);
    return tile;
  };
  situatie board{};
  init(board);
  move start{8, 8, ""};
  std::snprintf(start.tekst, sizeof start.tekst, "%sh", drawTile().c_str());
  plaats(board, start);
  std::vector<move> list(MAXZETTEN);
  for (size_t i = 0; i < rounds.size(); ++i) {
    SCOPED_TRACE("move " + std::to_string(i + 1));
    const std::string tile = drawTile();
    ASSERT_EQ(rounds[i].substr(2, 6), tile);
    const int n = genereerzetten(board.bezet, list.data(), tile.c_str());
    auto laid = std::find_if(list.begin(), list.begin() + n,
                             [&](const move& m) { return moveText(m) == rounds[i]; });
    ASSERT_NE(laid, list.begin() + n);
    if (i % 2 == 0) {
      EXPECT_EQ(laid - list.begin(), RAND(&sc, n));
    }
    plaats(board, *laid);
  }
  EXPECT_EQ(genereerzetten(board.bezet, list.data(), drawTile().c_str()), 0);
}

#endif  // ZARVO_FIXED_SEED_PROGRAM

TEST(RefereeRandomMode, TheShippedProgramIgnoresTheTestSeed) {
  // Two runs that both came out as the zero-seed game would be a chance of 1 in 21600 squared.
  std::vector<std::string> openings;
  for (int i = 0; i < 2; ++i) {
    RefereeSetup setup;
    setup.binary = kChecker;
    setup.env.emplace_back("ZARVO_TEST_SEED", std::string(128, '0'));
    setup.answers[0] = {managerTag('r')};
    setup.answers[1] = {managerTag('r')};
    RefereeRun run = runReferee(setup);
    expectCleanRun(run, 0);
    ASSERT_GE(run.lines.size(), 2u);
    openings.push_back(run.lines[0] + run.lines[1]);
  }
  EXPECT_FALSE(openings[0] == "1 31 Hh523146h" && openings[1] == "1 31 Hh523146h");
}

}  // namespace
