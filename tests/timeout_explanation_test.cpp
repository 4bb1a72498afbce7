// The words on a player that sat idle until its time ran out: the flush hint only for one the
// kernel showed blocked reading its standard input, and no guessed cause where /proc told
// nothing.
#include "arena/match/timeout_explanation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using arena::TreeActivity;

std::string idle_words(TreeActivity activity, const std::string& call = {}) {
  arena::TimeoutDetail detail;
  detail.allowed = arena::Milliseconds(1000);
  detail.used = arena::Milliseconds(1000);
  detail.idle = {activity, call};
  std::vector<std::string> lines = arena::timeout_explanation(detail, false, std::string());
  return lines.size() == 2 ? lines[1] : "";
}

TEST(TimeoutExplanation, OnlyAPlayerReadingItsInputIsToldToFlush) {
  EXPECT_NE(idle_words(TreeActivity::kReadingInput).find("flush"), std::string::npos);
  EXPECT_EQ(idle_words(TreeActivity::kSleeping, "clock_nanosleep").find("flush"),
            std::string::npos);
  EXPECT_NE(idle_words(TreeActivity::kSleeping, "clock_nanosleep").find("clock_nanosleep"),
            std::string::npos);
  EXPECT_EQ(idle_words(TreeActivity::kWaiting, "futex").find("flush"), std::string::npos);
  // /proc could not be read: what is known, and no cause.
  EXPECT_EQ(idle_words(TreeActivity::kUnknown),
            "it wrote nothing since the last line it was sent and sat idle");
}

}  // namespace
