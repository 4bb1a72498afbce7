// Which programs are interpreters, whose script is the player's main file.
#include "arena/match/player_command.h"

#include <gtest/gtest.h>

namespace {

TEST(PlayerCommand, InterpretersAreKnownByName) {
  for (const char* name : {"python3", "python3.11", "python", "pypy3", "node", "java", "sh"}) {
    EXPECT_TRUE(arena::is_interpreter(name)) << name;
  }
  for (const char* name : {"zarvo-random", "RandomBot", "python3-config", "mybot.py", ""}) {
    EXPECT_FALSE(arena::is_interpreter(name)) << name;
  }
}

}  // namespace
