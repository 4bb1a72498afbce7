// The Python sample bot, played through zarvo-arena against the C++ sample bots in both seats,
// from seeded bots and from tile scripts. The arena runs in an empty environment (no
// PYTHONUNBUFFERED), so an answer the bot forgot to flush would end the game with a TIMEOUT,
// and a rules model that drifts from the referee's would show as an ILLEGAL move.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "referee/board.h"
#include "referee/movegen.h"
#include "referee/scoring.h"
#include "tests/support/process_check.h"

namespace fs = std::filesystem;
using test_support::ProgramRun;

namespace {

const std::string kBin = ZARVO_BIN_DIR;
const std::string kBot = kBin + "/zarvo_bot.py";

std::string read_file(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Runs a program with nothing in its environment but a PATH that finds python3.
ProgramRun run_clean(std::vector<std::string> args) {
  args.insert(args.begin(), {"/usr/bin/env", "-i", "PATH=/usr/bin:/bin"});
  return test_support::run_program(args);
}

// A tile script: two different colours, then enough random tiles for any game.
void write_tile_script(const fs::path& file, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<int> colours = {1, 2, 3, 4, 5, 6};
  std::shuffle(colours.begin(), colours.end(), random);
  std::ofstream script(file);
  script << colours[0] << " " << colours[1] << "\n";
  std::string tile = "123456";
  for (int i = 0; i < 300; ++i) {
    std::shuffle(tile.begin(), tile.end(), random);
    script << tile << "\n";
  }
}

struct BotGame {
  const char* opponent;  // a C++ sample bot in build/bin
  bool bot_first;        // the Python bot is player 1
  bool through_python3;  // "python3 /abs/zarvo_bot.py" rather than the script itself
  bool random_play;      // the bot's --random mode
  unsigned seed;         // seeds both bots; with `tiles` also the tile script
  bool tiles;
};

std::string game_name(const testing::TestParamInfo<BotGame>& info) {
  const BotGame& g = info.param;
  std::string name = std::string(g.bot_first ? "bot1_vs_" : "bot2_vs_") + (g.opponent + 6);
  name += g.through_python3 ? "_python3" : "_script";
  if (g.random_play) name += "_randommode";
  name += (g.tiles ? "_tiles" : "_seed") + std::to_string(g.seed);
  return name;
}

class PythonBotGame : public ::testing::TestWithParam<BotGame> {
 protected:
  void SetUp() override {
    char dir_template[] = "/tmp/python-bot-test.XXXXXX";
    dir_ = ::mkdtemp(dir_template);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_P(PythonBotGame, PlaysAWholeGameWithoutBeingDisqualified) {
  const BotGame& g = GetParam();
  std::string seed = std::to_string(g.seed);
  std::string bot = (g.through_python3 ? "python3 " + kBot : kBot) + " --seed " + seed;
  if (g.random_play) bot += " --random";
  std::string opponent = kBin + "/" + g.opponent + " --seed " + seed;

  std::vector<std::string> args = {
      kBin + "/zarvo-arena", "match",   "--dir", dir_.string(), "--id",
      "game" + seed,         "--name1", "first", "--name2",     "second"};
  if (g.tiles) {
    write_tile_script(dir_ / "tiles.txt", g.seed);
    args.insert(args.end(), {"--tiles", (dir_ / "tiles.txt").string()});
  }
  args.push_back(g.bot_first ? bot : opponent);
  args.push_back(g.bot_first ? opponent : bot);
  ProgramRun run = run_clean(args);
  ASSERT_EQ(run.status, 0) << run.out << run.err;

  // "first vs second: R1 R2 PLAYER_1:_X;_PLAYER_2:_Y log LOG page PAGE"
  std::istringstream line(run.out);
  std::string first, vs, second, result1, result2, description;
  line >> first >> vs >> second >> result1 >> result2 >> description;
  for (const char* reason : {"TIMEOUT", "CRASH", "EXIT", "ILLEGAL"}) {
    EXPECT_EQ(description.find(reason), std::string::npos) << run.out;
  }
  EXPECT_TRUE(description.starts_with("PLAYER_1:_")) << run.out;

  fs::path logs = dir_ / "refereelogs";
  std::string log = read_file(logs / ("first-second.game" + seed + ".log"));
  int bot_player = g.bot_first ? 1 : 2;
  EXPECT_NE(log.find("Round " + std::to_string(bot_player + 4) + " player " +
                     std::to_string(bot_player) + ": "),
            std::string::npos)
      << "the Python bot played several moves:\n"
      << log;
  // Nothing on its standard error: no traceback, no line it did not understand.
  fs::path bot_err =
      logs / ("first-second.game" + seed + ".player" + std::to_string(bot_player) + ".err");
  EXPECT_FALSE(fs::exists(bot_err)) << read_file(bot_err);
}

INSTANTIATE_TEST_SUITE_P(AgainstTheSampleBots, PythonBotGame,
                         ::testing::Values(BotGame{"zarvo-greedy", true, false, false, 1, false},
                                           BotGame{"zarvo-greedy", false, false, false, 2, false},
                                           BotGame{"zarvo-random", true, true, false, 3, false},
                                           BotGame{"zarvo-random", false, true, false, 4, false},
                                           BotGame{"zarvo-greedy", true, true, false, 5, true},
                                           BotGame{"zarvo-greedy", false, false, false, 6, true},
                                           BotGame{"zarvo-random", true, false, true, 7, true},
                                           BotGame{"zarvo-random", false, true, true, 8, true},
                                           BotGame{"zarvo-greedy", false, false, true, 9, false}),
                         game_name);

// The bot on its own, fed a scripted exchange through a shell pipe.
ProgramRun feed_bot(const std::string& input) {
  return run_clean({"/bin/sh", "-c", "printf '" + input + "' | " + kBot + " --seed 1"});
}

TEST(PythonBot, AnswersEachTileWithALegalPlaceAndStopsAtQuit) {
  // Two tiles, two answers in the answer format, then Quit ends the bot with status 0.
  ProgramRun run = feed_bot("4\\nHh123456h\\nStart\\n654321\\nAh123456h\\n615243\\nQuit\\n");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  std::istringstream lines(run.out);
  std::string answer;
  int count = 0;
  while (std::getline(lines, answer)) {
    ++count;
    ASSERT_EQ(answer.size(), 3u) << run.out;
    EXPECT_GE(answer[0], 'A');
    EXPECT_LE(answer[0], 'P');
    EXPECT_GE(answer[1], 'a');
    EXPECT_LE(answer[1], 't');
    EXPECT_TRUE(answer[2] == 'h' || answer[2] == 'v') << answer;
  }
  EXPECT_EQ(count, 2) << run.out;
}

TEST(PythonBot, EndsQuietlyAtTheEndOfInputAndReportsLinesItDoesNotKnow) {
  ProgramRun eof = feed_bot("2\\nHh123456h\\n");
  EXPECT_EQ(eof.status, 0) << eof.err;
  EXPECT_EQ(eof.out, "");
  EXPECT_EQ(eof.err, "");

  ProgramRun odd = feed_bot("2\\nHh123456h\\nHello there\\nQuit\\nStart\\n123456\\n");
  EXPECT_EQ(odd.status, 0) << odd.err;
  EXPECT_EQ(odd.out, "") << "nothing is read after Quit";
  EXPECT_NE(odd.err.find("unexpected line: Hello there"), std::string::npos) << odd.err;
}

// The full move text of a placement, "Gb256143h".
std::string move_text(const move& m) {
  return std::string{static_cast<char>('A' + m.rij - 1), static_cast<char>('a' + m.kolom - 1)} +
         m.tekst;
}

std::string random_tile(std::mt19937& random) {
  std::string tile = "123456";
  std::shuffle(tile.begin(), tile.end(), random);
  return tile;
}

// Positions built with the referee's own rules (random legal moves after a start tile); the
// bot is told them as moves, then given a tile. Its greedy answer must be one of the legal
// placements after which its colour scores most, as the referee's scoring counts: this holds
// its placement rule, tile layout (both orientations, tiles laid over others) and scoring to
// the referee's.
TEST(PythonBot, GreedyAnswerIsABestMoveByTheRefereesRules) {
  static move moves[MAXZETTEN];
  int positions = 0;
  for (unsigned seed = 1; positions < 12; ++seed) {
    ASSERT_LT(seed, 200u) << "too few positions in which the score tells the moves apart";
    std::mt19937 random(seed);
    situatie board;
    init(board);
    int colour = 1 + static_cast<int>(seed % 6);
    std::string start = "Hh" + random_tile(random) + "h";
    move start_move{8, 8, {}};
    std::copy(start.begin() + 2, start.end(), start_move.tekst);
    plaats(board, start_move);
    std::string input = std::to_string(colour) + "\\n" + start + "\\n";
    int laid = 4 + static_cast<int>(seed % 20);
    for (int i = 0; i < laid; ++i) {
      int count = genereerzetten(board.bezet, moves, random_tile(random).c_str());
      ASSERT_GT(count, 0);
      move chosen = moves[std::uniform_int_distribution<int>(0, count - 1)(random)];
      plaats(board, chosen);
      input += move_text(chosen) + "\\n";
    }
    std::string tile = random_tile(random);
    int count = genereerzetten(board.bezet, moves, tile.c_str());
    if (count == 0) continue;
    std::vector<std::string> best;
    int best_score = -1;
    for (int i = 0; i < count; ++i) {
      situatie after = board;
      plaats(after, moves[i]);
      int points = telpunten(after.bord, colour);
      if (points > best_score) {
        best.clear();
        best_score = points;
      }
      if (points == best_score)
        best.push_back(move_text(moves[i]).substr(0, 2) + moves[i].tekst[6]);
    }
    // Only positions where scoring tells the moves apart say anything about the scoring.
    if (best.size() * 2 > static_cast<std::size_t>(count)) continue;
    ++positions;
    ProgramRun run = feed_bot(input + tile + "\\nQuit\\n");
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(run.out.ends_with("\n")) << run.out;
    std::string answer = run.out.substr(0, run.out.size() - 1);
    EXPECT_TRUE(std::find(best.begin(), best.end(), answer) != best.end())
        << "seed " << seed << ": answer " << answer << ", best score " << best_score << " by "
        << best.size() << " of " << count << " moves, e.g. " << best[0];
  }
}

}  // namespace
