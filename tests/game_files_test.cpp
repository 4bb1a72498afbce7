// A game's file names, read back from its log's name, and the default names and ids.
#include "arena/game/game_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "arena/game/game_names.h"

namespace {
namespace fs = std::filesystem;

TEST(GameFiles, NamesAreReadBackFromTheLog) {
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

TEST(GameNames, DefaultNamesAndIds) {
  EXPECT_EQ(arena::name_from_program("zarvo-random"), "zarvo_random");
  EXPECT_EQ(arena::name_from_program("bot.py"), "bot_py");
  EXPECT_FALSE(arena::player_name_problem(arena::name_from_program(std::string(80, 'a'))));
  EXPECT_FALSE(arena::game_id_problem(arena::unique_game_id()));
  EXPECT_NE(arena::unique_game_id(), arena::unique_game_id());
}

}  // namespace
