// A game's notes as the match writes them beside the game's files and a tournament reads them
// back: the same notes come back, the text and the short lines are made from them, and a file
// that holds anything else is refused rather than half read.
#include "arena/game/game_notes.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using arena::DisqualificationNote;
using arena::GameNotes;

GameNotes timed_out_and_illegal() {
  DisqualificationNote slow{1,
                            "slow",
                            "TIMEOUT",
                            3,
                            "exceeded global time limit",
                            {"it was charged 0.30 s of thinking time for this answer, its move "
                             "limit is 0.30 s (--move-limit)"},
                            "out/refereelogs/slow-wild.g1.player1.err",
                            {"thinking...", "still thinking"}};
  DisqualificationNote wild{2, "wild", "ILLEGAL", std::nullopt, "", {"it wrote \"xyz\""}, "", {}};
  return {slow, wild};
}

TEST(GameNotes, WrittenNotesReadBackTheSame) {
  const fs::path dir = test_support::fresh_test_dir("game_notes_");
  const GameNotes notes = timed_out_and_illegal();
  arena::write_game_notes(dir / "g.notes.json", notes);
  const GameNotes back = arena::read_game_notes(dir / "g.notes.json");
  EXPECT_EQ(arena::notes_text(back), arena::notes_text(notes));
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].move, 3);
  EXPECT_EQ(back[1].move, std::nullopt);
  EXPECT_EQ(back[0].stderr_tail, notes[0].stderr_tail);
  // No notes: no file, and a missing file reads as no notes.
  arena::write_game_notes(dir / "g.notes.json", {});
  EXPECT_FALSE(fs::exists(dir / "g.notes.json"));
  EXPECT_TRUE(arena::read_game_notes(dir / "g.notes.json").empty());
  fs::remove_all(dir);
}

TEST(GameNotes, TextAndShortLinesAreMadeFromTheNotes) {
  const GameNotes notes = timed_out_and_illegal();
  EXPECT_EQ(arena::notes_text(notes),
            "slow (player 1) was disqualified: TIMEOUT in move 3: exceeded global time limit\n"
            "  it was charged 0.30 s of thinking time for this answer, its move limit is 0.30 s "
            "(--move-limit)\n"
            "  the end of its standard error (out/refereelogs/slow-wild.g1.player1.err):\n"
            "    thinking...\n"
            "    still thinking\n"
            "wild (player 2) was disqualified: ILLEGAL\n"
            "  it wrote \"xyz\"\n");
  EXPECT_EQ(arena::short_notes(notes, "game 4: ", 60),
            (std::vector<std::string>{
                "game 4: slow (player 1) was disqualified: TIMEOUT in move 3:...",
                "  it was charged 0.30 s of thinking time for this answer, it...",
                "game 4: wild (player 2) was disqualified: ILLEGAL", "  it wrote \"xyz\""}));
}

TEST(GameNotes, AFileOfAnotherShapeIsRefused) {
  const fs::path dir = test_support::fresh_test_dir("game_notes_");
  const fs::path file = dir / "g.notes.json";
  auto refused = [&](const std::string& text) {
    std::ofstream(file, std::ios::trunc) << text;
    EXPECT_THROW(arena::read_game_notes(file), arena::GameNotesError) << text;
  };
  refused("slow (player 1) was disqualified: TIMEOUT\n");
  refused("{\"disqualifications\": {}}");
  refused("{\"disqualifications\": [], \"more\": 1}");
  const std::string fields =
      "\"name\": \"a\", \"move\": null, \"message\": \"\", \"explanation\": [], "
      "\"stderr_file\": \"\", \"stderr_tail\": []";
  refused("{\"disqualifications\": [{\"seat\": 3, \"reason\": \"CRASH\", " + fields + "}]}");
  refused("{\"disqualifications\": [{\"seat\": 1, \"reason\": \"LOSE\", " + fields + "}]}");
  refused("{\"disqualifications\": [{\"seat\": 1, \"reason\": \"CRASH\", \"extra\": 0, " + fields +
          "}]}");
  std::ofstream(file, std::ios::trunc)
      << "{\"disqualifications\": [{\"seat\": 1, \"reason\": \"CRASH\", " + fields + "}]}";
  EXPECT_EQ(arena::read_game_notes(file).at(0).reason, "CRASH");
  fs::remove_all(dir);
}

}  // namespace
