// Entries whose file and directory names try to choose the command that plays them, through the
// real programs: a name with a control character is refused by the build, a record the build
// did not write is refused by whoever reads it, unusual names (quotes, '$', spaces, unicode)
// build and play as themselves, and every job line a tournament emits plays one game and
// nothing else.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/entry_dirs.h"
#include "tests/support/process_check.h"
#include "tests/support/test_files.h"

namespace fs = std::filesystem;
using test_support::line_for;
using test_support::ProgramRun;
using test_support::read_file;
using test_support::run_program;
using test_support::write_file;

namespace {

const std::string kBin = ZARVO_BIN_DIR;
const std::string kArena = kBin + "/zarvo-arena";
const fs::path kSource = ZARVO_SOURCE_DIR;

class HostileEntries : public test_support::EntryDirTest {
 protected:
  // A Python entry of one file, `file`, in entries/`dir`.
  fs::path python_entry(const std::string& dir, const std::string& file) {
    fs::path entry = root_ / "entries" / dir;
    write_file(entry / file, read_file(kSource / "players/zarvo_bot.py"));
    return entry;
  }

  // Whether a file named `name` lies anywhere below the test's directory or in the working
  // directory the programs were started in.
  bool anywhere(const std::string& name) {
    if (fs::exists(fs::current_path() / name)) return true;
    for (const auto& file : fs::recursive_directory_iterator(root_)) {
      if (file.path().filename() == name) return true;
    }
    return false;
  }
};

TEST_F(HostileEntries, ALineBreakInAFileNameOrAPlantedRecordLineDoesNotChooseTheCommand) {
  fs::path honest = python_entry("honest", "main.py");
  fs::path hostile = python_entry("hostile", "a\ncommand sh -c 'touch PWNED'\n.py");
  fs::path planted = python_entry("planted", "main.py");

  ProgramRun build =
      run_program({kArena, "build", honest.string(), hostile.string(), planted.string()});
  EXPECT_EQ(build.status, 1) << build.out << build.err;
  EXPECT_NE(line_for(build.out, "ok", "/honest "), "") << build.out;
  EXPECT_NE(line_for(build.out, "FAILED", "/hostile ")
                .find("\"a?command sh -c 'touch PWNED'?.py\" ('?' for a control character)"),
            std::string::npos)
      << build.out;
  for (const std::string& line : test_support::lines_of(read_file(hostile / "zarvo-entry.txt"))) {
    EXPECT_FALSE(line.starts_with("command sh")) << line;
  }

  // The attack's record, written by hand: a second command line after the build's five.
  std::string record = read_file(planted / "zarvo-entry.txt");
  ASSERT_NE(record.find("result ok\nsources-shake256 "), std::string::npos) << record;
  // A record without its sources line, as an older arena wrote it, still reads.
  write_file(planted / "zarvo-entry.txt", record.substr(0, record.find("sources-shake256 ")));
  ProgramRun older = run_program({kArena, "check", planted.string()});
  EXPECT_EQ(older.status, 0) << older.out << older.err;
  write_file(planted / "zarvo-entry.txt", record + "command sh -c 'touch PWNED'\n");
  ProgramRun check = run_program({kArena, "check", planted.string()});
  EXPECT_NE(check.status, 0) << check.out << check.err;
  EXPECT_NE((check.out + check.err).find("zarvo-entry.txt, line 6"), std::string::npos)
      << check.out << check.err;

  ProgramRun tournament = run_program({kArena, "tournament", "--dir", (root_ / "t").string(),
                                       "--entries", (root_ / "entries").string(), "--player",
                                       kBin + "/zarvo-random", "--seed", "1"});
  ASSERT_EQ(tournament.status, 0) << tournament.out << tournament.err;
  EXPECT_NE(tournament.err.find("left out: " + (planted / "zarvo-entry.txt").string() +
                                ", line 6 \"command sh -c 'touch PWNED'\": a second command line"),
            std::string::npos)
      << tournament.err;
  EXPECT_NE(tournament.err.find("left out: " + hostile.string()), std::string::npos)
      << tournament.err;
  EXPECT_NE(tournament.out.find("2 of 2 games finished"), std::string::npos) << tournament.out;
  EXPECT_FALSE(anywhere("PWNED"));
}

TEST_F(HostileEntries, QuotesDollarsSpacesAndUnicodeInNamesBuildAndPlayAsThemselves) {
  fs::path quoted = python_entry("quoted", "it's $(touch X) x.py");
  fs::path spaced = python_entry("spaced ünï", "my bot ü.py");

  ProgramRun build = run_program({kArena, "build", quoted.string(), spaced.string()});
  ASSERT_EQ(build.status, 0) << build.out << build.err;

  ProgramRun tournament = run_program({kArena, "tournament", "--dir", (root_ / "t").string(),
                                       "--entries", (root_ / "entries").string(), "--seed", "1"});
  ASSERT_EQ(tournament.status, 0) << tournament.out << tournament.err;
  EXPECT_NE(tournament.out.find("2 of 2 games finished"), std::string::npos) << tournament.out;
  EXPECT_FALSE(anywhere("X"));
}

TEST_F(HostileEntries, EveryJobLinePlaysOneGameAndNothingElse) {
  python_entry("it's one", "main.py");
  fs::path two = python_entry("two $x ü", "main.py");
  ASSERT_EQ(
      run_program({kArena, "build", (root_ / "entries/it's one").string(), two.string()}).status,
      0);
  const fs::path dir = root_ / "games 'of' ü";
  const fs::path jobs = root_ / "jobs.txt";
  ProgramRun emit =
      run_program({kArena, "tournament", "--dir", dir.string(), "--entries",
                   (root_ / "entries").string(), "--seed", "1", "--emit-jobs", jobs.string()});
  ASSERT_EQ(emit.status, 0) << emit.out << emit.err;
  ASSERT_EQ(test_support::lines_of(read_file(jobs)).size(), 2u) << read_file(jobs);
  // The README's recipe for a job array: one line, given to sh.
  ProgramRun second = run_program({"/bin/sh", "-c", "sed -n 2p \"$0\" | sh", jobs.string()});
  ASSERT_EQ(second.status, 0) << second.out << second.err;
  std::vector<std::string> logs;
  for (const auto& file : fs::directory_iterator(dir / "refereelogs")) {
    if (file.path().extension() == ".log") logs.push_back(file.path().filename().string());
  }
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_TRUE(logs[0].ends_with(".2.log")) << logs[0];

  // A line break in an entry's directory or in the tournament's own cannot be quoted on one
  // line: refused, naming it, and no job file is written.
  const std::string hostile = "nl\ntouch PWNED #";
  fs::path refused = python_entry(hostile, "main.py");
  ProgramRun build = run_program({kArena, "build", refused.string()});
  EXPECT_NE(line_for(build.out, "FAILED", "nl?touch PWNED #").find("control character"),
            std::string::npos)
      << build.out;
  fs::remove_all(refused);
  fs::rename(two, refused);  // a built entry moved: its record still says ok
  const fs::path more_jobs = root_ / "more-jobs.txt";
  ProgramRun moved =
      run_program({kArena, "tournament", "--dir", (root_ / "t2").string(), "--entries",
                   (root_ / "entries").string(), "--emit-jobs", more_jobs.string()});
  EXPECT_EQ(moved.status, 2) << moved.out << moved.err;
  EXPECT_NE(moved.err.find("nl?touch PWNED #/main.py\" with a control character"),
            std::string::npos)
      << moved.err;
  ProgramRun broken_dir =
      run_program({kArena, "tournament", "--dir", (root_ / "t\nx").string(), "--player",
                   (root_ / "entries/it's one").string(), "--player", kBin + "/zarvo-random",
                   "--emit-jobs", more_jobs.string()});
  EXPECT_EQ(broken_dir.status, 2) << broken_dir.out << broken_dir.err;
  EXPECT_NE(broken_dir.err.find("the tournament's directory \"" + root_.string() + "/t?x\""),
            std::string::npos)
      << broken_dir.err;
  EXPECT_FALSE(fs::exists(more_jobs));
  EXPECT_FALSE(fs::exists(root_ / "t\nx"));
  EXPECT_FALSE(anywhere("PWNED"));
}

}  // namespace
