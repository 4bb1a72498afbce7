// A player's command line split into words as a shell splits it, nothing expanded.
#include "arena/process/shell_words.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

TEST(ShellWords, SplitLikeAShellWithoutExpanding) {
  using arena::split_shell_words;
  using V = std::vector<std::string>;
  EXPECT_EQ(split_shell_words("  bot  --seed 7 "), (V{"bot", "--seed", "7"}));
  EXPECT_EQ(split_shell_words(R"('my bot' "a \"b\" \\c" d\ e '')"),
            (V{"my bot", "a \"b\" \\c", "d e", ""}));
  EXPECT_EQ(split_shell_words(R"("\n")"), (V{"\\n"}));
  EXPECT_THROW(split_shell_words("'open"), std::invalid_argument);
  EXPECT_THROW(split_shell_words("trailing\\"), std::invalid_argument);
}

}  // namespace
