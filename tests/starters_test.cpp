// The starter bots of players/starters/, one per language: each is built by `zarvo-arena build`
// as an entrant's sources are, in its sandbox and offline, and plays ten pairs of games (seats
// swapped) against a seeded zarvo-random. A rules model that drifts from the referee's shows as
// an ILLEGAL move, an answer left in a buffer as a TIMEOUT, a line the bot does not understand
// on its standard error, and a broken score or greedy choice as lost games. The tile scripts,
// the starters and the seeded opponent are all deterministic, so the outcome is too.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

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
