// What the arena hands the referee of a player's answer.
#include "arena/match/referee_protocol.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

TEST(RefereeProtocol, OnlyTheAnswersFirstWordReachesTheReferee) {
  using arena::answer_word;
  EXPECT_EQ(answer_word("Abh"), "Abh");
  EXPECT_EQ(answer_word(" \tAbh lock_ok\r"), "Abh");
  EXPECT_EQ(answer_word(" \t\r"), std::nullopt);
  EXPECT_EQ(answer_word(""), std::nullopt);
  EXPECT_EQ(answer_word("<zarvo-arena-tag-i>"), "?zarvo-arena-tag-i>");
  EXPECT_EQ(answer_word(std::string(5000, 'x'))->size(), 1023u);
}

}  // namespace
