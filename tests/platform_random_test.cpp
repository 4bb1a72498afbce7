// The real platform layer: the system generator fills whole buffers, the clock reads the time.
#include "rng/platform_random.h"

#include <gtest/gtest.h>
#include <sys/time.h>

#include <vector>

TEST(PlatformRandom, GeneratorDeliversEveryRequestedByte) {
  std::vector<uint8_t> first(64, 0), second(64, 0);
  ASSERT_TRUE(platform_random_bytes(first.data(), 64));
  ASSERT_TRUE(platform_random_bytes(second.data(), 64));
  EXPECT_NE(first, second);  // equal by chance with probability 2^-512
  std::vector<uint8_t> large(4096, 0);
  EXPECT_TRUE(platform_random_bytes(large.data(), 4096));
  EXPECT_NE(large, std::vector<uint8_t>(4096, 0));
}

TEST(PlatformRandom, ClockCountsMicrosecondsSinceTheEpoch) {
  timeval before{};
  gettimeofday(&before, nullptr);
  const int64_t micros = platform_clock_micros();
  timeval after{};
  gettimeofday(&after, nullptr);
  EXPECT_GE(micros, static_cast<int64_t>(before.tv_sec) * 1000000 + before.tv_usec);
  EXPECT_LE(micros, static_cast<int64_t>(after.tv_sec) * 1000000 + after.tv_usec);
}
