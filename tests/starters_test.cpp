// The starter bots of players/starters/, one per language: each is built by `zarvo-arena build`
// as an entrant's sources are, in its sandbox and offline, and plays ten pairs of games (seats
// swapped) against a seeded zarvo-random. A rules model that drifts from the referee's shows as
// an ILLEGAL move, an answer left in a buffer as a TIMEOUT, a line the bot does not understand
// on its standard error, and a broken score or choice as a move the referee's own rules, replayed
// from the game log, would not have chosen. The tile scripts, the starters and the seeded
// opponent are all deterministic, so the outcome is too.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "referee/board.h"
#include "referee/movegen.h"
#include "referee/scoring.h"
#include "tests/support/entry_dirs.h"
#include "tests/support/process_check.h"
#include "tests/support/test_files.h"

namespace fs = std::filesystem;
using test_support::ProgramRun;
using test_support::read_file;
using test_support::run_program;

namespace {

const std::string kBin = ZARVO_BIN_DIR;
const std::string kArena = kBin + "/zarvo-arena";
const fs::path kStarters = fs::path(ZARVO_SOURCE_DIR) / "players" / "starters";

struct Starter {
  const char* language;  // its folder below players/starters/
  const char* compiler;  // what its recipe runs, looked up as the build's sandbox does
  const char* package;   // the Debian package that brings it
};

// gtest names a case by its language.
void PrintTo(const Starter& starter, std::ostream* out) { *out << starter.language; }

std::string starter_name(const testing::TestParamInfo<Starter>& info) {
  return info.param.language;
}

// True when `program` is in the build sandbox's PATH.
bool installed(const std::string& program) {
  for (const char* dir : {"/usr/local/bin", "/usr/bin", "/bin"}) {
    if (::access((fs::path(dir) / program).c_str(), X_OK) == 0) return true;
  }
  return false;
}

// A full move text "Gb256143h" as the referee's move record, and back.
move move_record(const std::string& text) {
  move m{text[0] - 'A' + 1, text[1] - 'a' + 1, {}};
  text.copy(m.tekst, 7, 2);
  return m;
}
std::string move_text(const move& m) {
  return std::string{static_cast<char>('A' + m.rij - 1), static_cast<char>('a' + m.kolom - 1)} +
         m.tekst;
}

// What every starter plays, by the referee's rules: the legal move after which `colour` scores
// most, then the one that leaves the other colours the fewest points, then the first listed.
std::string starters_choice(const situatie& board, const std::string& tile, int colour) {
  static move moves[MAXZETTEN];
  const int count = genereerzetten(board.bezet, moves, tile.c_str());
  std::string best;
  int best_points = -1, best_others = 0;
  for (int i = 0; i < count; ++i) {
    situatie after = board;
    plaats(after, moves[i]);
    const int points = telpunten(after.bord, colour);
    if (points < best_points) continue;
    int others = 0;
    for (int other = 1; other <= 6; ++other) {
      if (other != colour) others += telpunten(after.bord, other);
    }
    if (points > best_points || others < best_others) {
      best = move_text(moves[i]);
      best_points = points;
      best_others = others;
    }
  }
  return best;
}

// Replays a game log on the referee's board; one line per move of `seat` (1 or 2) that is not
// the starters' choice.
std::string moves_off_the_choice(const fs::path& log, int seat) {
  situatie board;
  init(board);
  int colour = 0;
  std::string off;
  for (const std::string& line : test_support::lines_of(read_file(log))) {
    int colours[2] = {0, 0}, round = 0, player = 0;
    char text[16] = {};
    if (std::sscanf(line.c_str(), "Colours: %d, %d", &colours[0], &colours[1]) == 2) {
      colour = colours[seat - 1];
    } else if (std::sscanf(line.c_str(), "Starting tile: %9s", text) == 1 ||
               std::sscanf(line.c_str(), "Round %d player %d: %9s", &round, &player, text) == 3) {
      const std::string played = text;
      if (player == seat) {
        const std::string chosen = starters_choice(board, played.substr(2, 6), colour);
        if (played != chosen) {
          off += "move " + std::to_string(round) + ": " + played + ", not " + chosen + "\n";
        }
      }
      move m = move_record(played);
      plaats(board, m);
    }
  }
  return off;
}

class Starters : public test_support::EntryDirTest, public testing::WithParamInterface<Starter> {};

TEST_P(Starters, BuildOfflineAndBeatTheRandomBotWithoutADisqualification) {
  const Starter& starter = GetParam();
  if (!installed(starter.compiler)) {
    GTEST_SKIP() << "no " << starter.compiler << " to build the " << starter.language
                 << " starter with: install Debian's " << starter.package;
  }
  const fs::path entry = root_ / starter.language;
  fs::copy(kStarters / starter.language, entry, fs::copy_options::recursive);

  ProgramRun build = run_program({kArena, "build", entry.string()});
  ASSERT_EQ(build.status, 0) << build.out << build.err;
  ASSERT_NE(test_support::line_for(build.out, "ok", entry.string()), "") << build.out;

  const fs::path dir = root_ / "t";
  ProgramRun tournament =
      run_program({kArena, "tournament", "--dir", dir.string(), "--seed", "1", "--games-per-pair",
                   "20", "--concurrency", "2", "--player", "starter=" + entry.string(), "--player",
                   "random=" + kBin + "/zarvo-random --seed 3"});
  ASSERT_EQ(tournament.status, 0) << tournament.out << tournament.err;

  int games = 0, wins = 0;
  for (const std::string& line : test_support::lines_of(read_file(dir / "results.csv"))) {
    // game,player1,player2,first_player,result1,result2,text1,text2,disqualified,log,...,winner
    const std::vector<std::string> field = test_support::csv_fields(line);
    if (field.size() < 12 || field[0] == "game") continue;
    ++games;
    wins += field[11] == "starter";
    EXPECT_EQ(field[8], "") << "game " << field[0] << ": " << line;
    // The starter's standard error stays empty (the file is removed then): every line it was
    // sent was one it understood.
    const std::string seat = field[1] == "starter" ? "1" : "2";
    std::string err = (dir / field[9]).string();
    err.replace(err.size() - 4, 4, ".player" + seat + ".err");
    EXPECT_FALSE(fs::exists(err)) << read_file(err);
    EXPECT_EQ(moves_off_the_choice(dir / field[9], std::stoi(seat)), "") << dir / field[9];
  }
  EXPECT_EQ(games, 20) << tournament.out;
  EXPECT_GE(wins, 18) << read_file(dir / "standings.txt");
}

INSTANTIATE_TEST_SUITE_P(EveryLanguage, Starters,
                         testing::Values(Starter{"c", "gcc", "gcc"}, Starter{"cpp", "g++", "g++"},
                                         Starter{"java", "javac", "default-jdk-headless"},
                                         Starter{"javascript", "node", "nodejs"},
                                         Starter{"rust", "cargo", "cargo"},
                                         Starter{"go", "go", "golang-go"}),
                         starter_name);

}  // namespace
