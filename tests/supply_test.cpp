// Colours and tiles: drawn from the seeded stream, or read from a tile script.
#include "referee/supply.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <utility>

#include "rng/secure_rng.h"

namespace {

class Supply : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("ZARVO_TEST_SEED");
    unsetenv("ZARVO_TEST_GENERATOR");
    kleur1 = kleur2 = 0;
    scripttegels = 0;
    SRAND(&sc);  // the stand-in generator: 64 zero bytes
  }
  void TearDown() override {
    if (script != nullptr) std::fclose(script);
  }
  FILE* open_script(const std::string& text) {
    script = std::tmpfile();
    std::fputs(text.c_str(), script);
    std::rewind(script);
    return script;
  }
  FILE* script = nullptr;
};

bool is_permutation_of_digits(const char* tile) {
  return std::strlen(tile) == 6 && std::is_permutation(tile, tile + 6, "123456");
}

}  // namespace

TEST_F(Supply, ZeroSeedGivesTheKnownOpening) {
  EXPECT_EQ(trekkleuren(nullptr), GETROKKEN);
  EXPECT_EQ(kleur1, 3);
  EXPECT_EQ(kleur2, 1);
  char tegel[8];
  EXPECT_EQ(genereertegel(tegel, nullptr), GETROKKEN);
  EXPECT_STREQ(tegel, "523146");
  maakbeginzet(tegel);
  EXPECT_STREQ(beginzet, "Hh523146h");
  EXPECT_EQ(genereertegel(tegel, nullptr), GETROKKEN);
  EXPECT_STREQ(tegel, "256143");
  EXPECT_EQ(scripttegels, 0);
}

TEST_F(Supply, RandomColoursNeverCoincideAndSkipTheFirstColour) {
  std::set<std::pair<int, int>> seen;
  for (int i = 0; i < 400; ++i) {
    shake256_context copy = sc;
    const int first = static_cast<int>(RAND(&copy, 6)) + 1;
    const int r = static_cast<int>(RAND(&copy, 5));
    trekkleuren(nullptr);
    ASSERT_EQ(kleur1, first);
    // Colours other than kleur1, in increasing order, picked by r.
    int others[5], n = 0;
    for (int k = 1; k <= 6; ++k)
      if (k != first) others[n++] = k;
    ASSERT_EQ(kleur2, others[r]);
    seen.insert({kleur1, kleur2});
  }
  EXPECT_EQ(seen.size(), 30u);
}

TEST_F(Supply, RandomTilesArePermutationsOfTheSixDigits) {
  std::set<std::string> seen;
  char tegel[8];
  for (int i = 0; i < 3000; ++i) {
    genereertegel(tegel, nullptr);
    ASSERT_TRUE(is_permutation_of_digits(tegel)) << tegel;
    seen.insert(tegel);
  }
  EXPECT_GT(seen.size(), 600u);  // of 720; each draw is five stream draws, not a reused value
}

TEST_F(Supply, ScriptGivesColoursAndTilesInOrderWithoutDrawing) {
  FILE* f = open_script("3 1\n523146\n256143\t614352   \n\n");
  const shake256_context before = sc;
  EXPECT_EQ(trekkleuren(f), GETROKKEN);
  EXPECT_EQ(kleur1, 3);
  EXPECT_EQ(kleur2, 1);
  char tegel[8] = "";
  for (const char* expected : {"523146", "256143", "614352"}) {
    EXPECT_EQ(genereertegel(tegel, f), GETROKKEN);
    EXPECT_STREQ(tegel, expected);
  }
  EXPECT_EQ(scripttegels, 3);
  maakbeginzet("523146");
  EXPECT_STREQ(beginzet, "Hh523146h");
  EXPECT_EQ(genereertegel(tegel, f), SCRIPT_OP);
  EXPECT_STREQ(tegel, "614352");
  EXPECT_EQ(scripttegels, 3);
  EXPECT_EQ(sc.position, before.position);
  EXPECT_EQ(std::memcmp(sc.state, before.state, sizeof sc.state), 0);
}

TEST_F(Supply, ScriptColoursAreTakenAsWritten) {
  EXPECT_EQ(trekkleuren(open_script("6 +2 999999")), GETROKKEN);
  EXPECT_EQ(kleur1, 6);
  EXPECT_EQ(kleur2, 2);
  char tegel[8] = "123456";
  EXPECT_EQ(genereertegel(tegel, script), SCRIPT_ONGELDIG);
  EXPECT_STREQ(scripttoken, "999999");
}

TEST_F(Supply, BadScriptColoursAreRejectedAndNamed) {
  const std::pair<const char*, const char*> cases[] = {
      {"3 3", "3"}, {"7 1", "7"},
      {"0 1", "0"}, {"2 -1", "-1"},
      {"x 1", "x"}, {"1 2x", "2x"},
      {"- 1", "-"}, {"99999999999999999999 1", "99999999999999999999"},
  };
  for (auto [text, bad] : cases) {
    if (script != nullptr) std::fclose(script);
    kleur1 = kleur2 = 0;
    EXPECT_EQ(trekkleuren(open_script(text)), SCRIPT_ONGELDIG) << text;
    EXPECT_STREQ(scripttoken, bad) << text;
    EXPECT_EQ(kleur1, 0) << text;
    EXPECT_EQ(kleur2, 0) << text;
  }
}

TEST_F(Supply, ShortScriptLeavesTheColoursUnset) {
  EXPECT_EQ(trekkleuren(open_script("")), SCRIPT_OP);
  std::fclose(script);
  EXPECT_EQ(trekkleuren(open_script("  4\n")), SCRIPT_OP);
  EXPECT_EQ(kleur1, 0);
  EXPECT_EQ(kleur2, 0);
}

TEST_F(Supply, BadTileTokensAreRejectedAndTheBufferKept) {
  FILE* f = open_script("12345 1234567 123455 12345a 612345x 654321");
  char tegel[8] = "111111";
  for (const char* bad : {"12345", "1234567", "123455", "12345a", "612345x"}) {
    EXPECT_EQ(genereertegel(tegel, f), SCRIPT_ONGELDIG) << bad;
    EXPECT_STREQ(scripttoken, bad);
    EXPECT_STREQ(tegel, "111111");
  }
  EXPECT_EQ(scripttegels, 0);
  EXPECT_EQ(genereertegel(tegel, f), GETROKKEN);
  EXPECT_STREQ(tegel, "654321");
  EXPECT_EQ(scripttegels, 1);
}

TEST_F(Supply, OverlongTokenIsConsumedWholeAndCutForMessages) {
  const std::string huge(100000, '1');
  FILE* f = open_script(huge + " 135246");
  char tegel[8] = "111111";
  EXPECT_EQ(genereertegel(tegel, f), SCRIPT_ONGELDIG);
  EXPECT_EQ(std::string(scripttoken), huge.substr(0, 63));
  EXPECT_EQ(genereertegel(tegel, f), GETROKKEN);
  EXPECT_STREQ(tegel, "135246");
}

TEST_F(Supply, OverlongColourTokenIsRejected) {
  // A token longer than 63 characters is never judged from its cut text.
  EXPECT_EQ(trekkleuren(open_script(std::string(62, '0') + "3 1")), GETROKKEN);
  EXPECT_EQ(kleur1, 3);
  std::fclose(script);
  kleur1 = 0;
  EXPECT_EQ(trekkleuren(open_script(std::string(63, '0') + "3 1")), SCRIPT_ONGELDIG);
  EXPECT_EQ(kleur1, 0);
}
