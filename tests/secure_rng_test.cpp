// The random source: SHAKE256 against FIPS 202, however it is cut into calls, and the draws the
// game makes from a seeded stream. Linked with the stand-in platform layer (fixed seed, a
// generator that can be made to fail, a fixed clock).
#include "rng/secure_rng.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "rng/platform_random.h"

namespace {

std::string hex(const std::vector<uint8_t>& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (uint8_t b : bytes) {
    s += digits[b >> 4];
    s += digits[b & 15];
  }
  return s;
}

std::vector<uint8_t> pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + 1);
  return v;
}

// SHAKE256 of the input, cut into the given injects; output in one extract.
std::vector<uint8_t> shake(const std::vector<uint8_t>& input, size_t out_len,
                           const std::vector<uint32_t>& cuts = {}) {
  shake256_context ctx;
  shake256_init(&ctx);
  size_t at = 0;
  for (uint32_t cut : cuts) {
    shake256_inject(&ctx, input.data() + at, cut);
    at += cut;
  }
  shake256_inject(&ctx, input.data() + at, static_cast<uint32_t>(input.size() - at));
  shake256_flip(&ctx);
  std::vector<uint8_t> out(out_len);
  shake256_extract(&ctx, out.data(), static_cast<uint32_t>(out_len));
  return out;
}

class SeededStream : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("ZARVO_TEST_SEED");
    unsetenv("ZARVO_TEST_GENERATOR");
    unsetenv("ZARVO_TEST_CLOCK");
  }
  void TearDown() override { SetUp(); }
};

}  // namespace

TEST(Shake256, EmptyInputMatchesFips202) {
  EXPECT_EQ(hex(shake({}, 32)), "46b9dd2b0ba88d13233b3feb743eeb243fcd52ea62b81b82b50c27646ed5762f");
}

TEST(Shake256, MultiBlockInputMatchesFips202) {
  // 1600 bits of 0xA3: the message crosses the 136-byte block boundary.
  EXPECT_EQ(hex(shake(std::vector<uint8_t>(200, 0xA3), 32)),
            "cd8a920ed141aa0407a22d59288652e9d9f1a7ee0c1e7c1ca699424da84a904d");
}

TEST(Shake256, ExactBlockPermutesDuringInjectAndPadsAFreshBlock) {
  shake256_context ctx;
  shake256_init(&ctx);
  const auto input = pattern(136);
  shake256_inject(&ctx, input.data(), 136);
  EXPECT_EQ(ctx.position, 0u);
  shake256_flip(&ctx);
  EXPECT_EQ(ctx.position, 136u);
  std::vector<uint8_t> out(16);
  shake256_extract(&ctx, out.data(), 16);
  EXPECT_EQ(hex(out), "982c21d1d328ea0c182357958a9f776c");
}

TEST(Shake256, PaddingOfBlockMinusOneByteSharesTheLastByte) {
  shake256_context ctx;
  shake256_init(&ctx);
  shake256_flip(&ctx);
  const uint64_t empty_lane16 = ctx.state[16];
  shake256_init(&ctx);
  const std::vector<uint8_t> zeros(135, 0);
  shake256_inject(&ctx, zeros.data(), 135);
  shake256_flip(&ctx);
  EXPECT_EQ(ctx.state[16], 0x9FULL << 56);
  EXPECT_EQ(empty_lane16, 0x80ULL << 56);
  EXPECT_EQ(ctx.state[0], 0u);
  EXPECT_EQ(hex(shake(pattern(135), 16)), "d2fbe0a6ded494501cc37fd4f5da330b");
}

TEST(Shake256, OutputCutIntoCallsEqualsOneCall) {
  const auto input = pattern(64);
  const auto whole = shake(input, 400);
  shake256_context ctx;
  shake256_init(&ctx);
  shake256_inject(&ctx, input.data(), 64);
  shake256_flip(&ctx);
  std::vector<uint8_t> pieces(400);
  uint32_t at = 0;
  for (uint32_t cut : {1u, 135u, 0u, 200u, 64u}) {
    shake256_extract(&ctx, pieces.data() + at, cut);
    at += cut;
  }
  EXPECT_EQ(pieces, whole);
  EXPECT_EQ(ctx.position, 128u);
}

TEST(Shake256, InputCutIntoCallsEqualsOneCall) {
  const auto input = pattern(300);
  EXPECT_EQ(shake(input, 64, {1, 135, 0}), shake(input, 64));
  EXPECT_EQ(hex(shake(input, 16, {1, 135})), "07eddb1a8780d5425374583dfe77c2a6");
}

TEST_F(SeededStream, ZeroSeedGivesTheKnownStreamAndDraws) {
  SRAND(&sc);
  EXPECT_EQ(sc.position, 136u);
  shake256_context copy = sc;
  std::vector<uint8_t> head(8);
  shake256_extract(&copy, head.data(), 8);
  EXPECT_EQ(hex(head), "7ea5f2ea9e9487de");

  copy = sc;
  EXPECT_EQ(static_cast<uint64_t>(RAND(&copy, INT64_MAX)), 0xde87949eeaf2a57eULL % INT64_MAX);
  EXPECT_EQ(RAND(&sc, 6), 2);
  EXPECT_EQ(RAND(&sc, 5), 0);
  int a[6] = {0, 1, 2, 3, 4, 5};
  RANDOM_SHUFFLE(&sc, a, 6);
  EXPECT_EQ(std::vector<int>(a, a + 6), (std::vector<int>{4, 1, 2, 0, 3, 5}));
}

TEST_F(SeededStream, ShuffleDrawsEqualRandWithFallingBounds) {
  SRAND(&sc);
  RAND(&sc, 6);
  RAND(&sc, 5);
  shake256_context copy = sc;
  int a[6] = {0, 1, 2, 3, 4, 5};
  RANDOM_SHUFFLE(&sc, a, 6);
  std::vector<int64_t> indices;
  for (int64_t bound = 6; bound >= 2; --bound) indices.push_back(RAND(&copy, bound));
  EXPECT_EQ(indices, (std::vector<int64_t>{5, 3, 0, 2, 1}));
  EXPECT_EQ(sc.position, copy.position);
}

TEST_F(SeededStream, BoundOfOneReturnsZeroAndStillConsumesADraw) {
  SRAND(&sc);
  EXPECT_EQ(RAND(&sc, 1), 0);
  EXPECT_EQ(sc.position, 8u);
}

TEST_F(SeededStream, ShuffleOfFewerThanTwoTouchesNothing) {
  SRAND(&sc);
  const shake256_context before = sc;
  int one = 9;
  RANDOM_SHUFFLE(&sc, &one, 1);
  RANDOM_SHUFFLE(&sc, nullptr, 0);
  EXPECT_EQ(one, 9);
  EXPECT_EQ(sc.position, before.position);
}

TEST_F(SeededStream, ShuffleOfTwoSwapsExactlyOnAnEvenDraw) {
  SRAND(&sc);
  for (int round = 0; round < 20; ++round) {
    shake256_context peek = sc;
    uint8_t draw[8];
    shake256_extract(&peek, draw, 8);
    int pair[2] = {0, 1};
    RANDOM_SHUFFLE(&sc, pair, 2);
    EXPECT_EQ(pair[0] == 1, draw[0] % 2 == 0) << "round " << round;
    EXPECT_EQ(sc.position, peek.position);
  }
}

TEST_F(SeededStream, SeventeenDrawsExhaustABlockAndTheEighteenthPermutes) {
  SRAND(&sc);
  shake256_context bytes = sc;
  std::vector<uint8_t> stream(144);
  shake256_extract(&bytes, stream.data(), 144);
  for (int i = 0; i < 18; ++i) {
    uint64_t expected = 0;
    for (int k = 7; k >= 0; --k) expected = expected << 8 | stream[8 * i + k];
    EXPECT_EQ(static_cast<uint64_t>(RAND(&sc, INT64_MAX)), expected % INT64_MAX) << i;
    if (i == 16) {
      EXPECT_EQ(sc.position, 136u);
    }
  }
  EXPECT_EQ(sc.position, 8u);
}

TEST_F(SeededStream, DrawsFollowTheStreamWhenNotOnALaneBoundary) {
  SRAND(&sc);
  uint8_t skip[3];
  shake256_extract(&sc, skip, 3);
  shake256_context bytes = sc;
  std::vector<uint8_t> stream(8 * 20);
  shake256_extract(&bytes, stream.data(), static_cast<uint32_t>(stream.size()));
  for (int i = 0; i < 20; ++i) {
    uint64_t expected = 0;
    for (int k = 7; k >= 0; --k) expected = expected << 8 | stream[8 * i + k];
    ASSERT_EQ(static_cast<uint64_t>(RAND(&sc, INT64_MAX)), expected % INT64_MAX) << i;
  }
}

TEST_F(SeededStream, SeedComesFromTheGenerator) {
  setenv("ZARVO_TEST_SEED", std::string(128, 'f').c_str(), 1);
  std::vector<uint8_t> seed(64, 0);
  EXPECT_EQ(get_good_seed(seed.data(), 64), 1);
  EXPECT_EQ(seed, std::vector<uint8_t>(64, 0xFF));
}

TEST_F(SeededStream, FailingGeneratorFallsBackToTheClockLittleEndian) {
  setenv("ZARVO_TEST_GENERATOR", "fail", 1);
  setenv("ZARVO_TEST_CLOCK", "1700000000123456", 1);  // 0x00060a2418202240
  std::vector<uint8_t> seed(64, 0xEE);
  EXPECT_EQ(get_good_seed(seed.data(), 64), 1);
  std::vector<uint8_t> expected(64, 0);
  const uint8_t clock[8] = {0x40, 0x22, 0x20, 0x18, 0x24, 0x0a, 0x06, 0x00};
  std::copy(clock, clock + 8, expected.begin());
  EXPECT_EQ(seed, expected);

  // SRAND takes the same fallback: the stream is SHAKE256 of those 64 bytes.
  SRAND(&sc);
  std::vector<uint8_t> out(16);
  shake256_extract(&sc, out.data(), 16);
  EXPECT_EQ(out, shake(expected, 16));
}

TEST_F(SeededStream, ShortFallbackSeedTakesTheLowBytesOfTheClock) {
  setenv("ZARVO_TEST_GENERATOR", "fail", 1);
  setenv("ZARVO_TEST_CLOCK", "258", 1);
  uint8_t seed[3] = {9, 9, 9};
  get_good_seed(seed, 3);
  EXPECT_EQ(seed[0], 2);
  EXPECT_EQ(seed[1], 1);
  EXPECT_EQ(seed[2], 0);
}

TEST(SecureRngDeathTest, NonPositiveBoundStopsWithTheAssertion) {
  shake256_context ctx{};
  EXPECT_DEATH(RAND(&ctx, 0), "Assertion failed: m > 0, file secure_rng, line [0-9]+");
  EXPECT_DEATH(RAND(&ctx, INT64_MIN), "m > 0");
}

TEST(SecureRngDeathTest, EmptySeedBufferStopsWithTheAssertion) {
  uint8_t seed[1];
  EXPECT_DEATH(get_good_seed(seed, 0), "Assertion failed: len > 0, file secure_rng, line [0-9]+");
}
