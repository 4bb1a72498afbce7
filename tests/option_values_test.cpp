// The values the arena's options take, read strictly.
#include "arena/match/option_values.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>

namespace {

TEST(OptionValues, DurationsAndSizes) {
  using namespace std::chrono;
  EXPECT_EQ(duration_cast<milliseconds>(arena::parse_duration("10")), seconds(10));
  EXPECT_EQ(duration_cast<milliseconds>(arena::parse_duration("2.5s")), milliseconds(2500));
  EXPECT_EQ(duration_cast<milliseconds>(arena::parse_duration("300ms")), milliseconds(300));
  for (const char* bad : {"", "0", "-1", "1x", "ms", "nan", "1e99"}) {
    EXPECT_THROW(arena::parse_duration(bad), std::invalid_argument) << bad;
  }
  EXPECT_EQ(arena::parse_megabytes("512"), 512u);
  EXPECT_THROW(arena::parse_megabytes("0"), std::invalid_argument);
  EXPECT_THROW(arena::parse_megabytes("5MB"), std::invalid_argument);
}

}  // namespace
