// Move generation: which placements are legal and the fixed order in which they are listed.
#include "referee/movegen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "referee/board.h"

namespace {

struct Placement {
  int rij;
  int kolom;
  std::string tekst;
  bool operator==(const Placement&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Placement& p) {
  return os << char(64 + p.rij) << char(96 + p.kolom) << p.tekst;
}

std::vector<Placement> generate(const bitset396& bezet, const char* tegel) {
  move zetten[MAXZETTEN];
  const int n = genereerzetten(bezet, zetten, tegel);
  std::vector<Placement> out;
  for (int i = 0; i < n; ++i) out.push_back({zetten[i].rij, zetten[i].kolom, zetten[i].tekst});
  return out;
}

// The placement rule taken literally: shift each mask to the anchor, AND, count.
std::vector<Placement> generate_literally(const bitset396& bezet, const char* tegel) {
  std::vector<Placement> out;
  auto visit = [&](int rows, int columns, const bitset396& inner, const bitset396& outer,
                   char letter) {
    for (int r = 1; r <= rows; ++r)
      for (int c = 1; c <= columns; ++c) {
        const size_t s = (r - 1) * BORDKOLOMMEN + c;
        if (((inner << s) & bezet).count() <= 4 && ((outer << s) & bezet).any())
          out.push_back({r, c, std::string(tegel) + letter});
      }
  };
  visit(15, 15, maskerbinnenhorz, maskerbuitenhorz, 'h');
  visit(11, 19, maskerbinnenvert, maskerbuitenvert, 'v');
  return out;
}

class MoveGeneration : public ::testing::Test {
 protected:
  void SetUp() override {
    init(board);
    move start{8, 8, "523146h"};
    plaats(board, start);
  }
  bool listed(int rij, int kolom, char letter) {
    for (const auto& p : generate(board.bezet, "256143"))
      if (p.rij == rij && p.kolom == kolom && p.tekst[6] == letter) return true;
    return false;
  }
  situatie board;
};

std::string random_tile(std::mt19937_64& rng) {
  std::string tile = "123456";
  std::shuffle(tile.begin(), tile.end(), rng);
  return tile;
}

}  // namespace

TEST(MoveGenerationEmpty, NothingCoveredMeansNoMove) {
  situatie s;
  init(s);
  EXPECT_TRUE(generate(s.bezet, "123456").empty());
}

TEST_F(MoveGeneration, StartBoardListsTheKnown125MovesInOrder) {
  const auto list = generate(board.bezet, "256143");
  ASSERT_EQ(list.size(), 125u);
  int horizontal = 0;
  while (horizontal < 125 && list[horizontal].tekst.back() == 'h') ++horizontal;
  EXPECT_EQ(horizontal, 48);
  for (size_t i = horizontal; i < list.size(); ++i) EXPECT_EQ(list[i].tekst.back(), 'v') << i;
  EXPECT_EQ(list.front(), (Placement{6, 3, "256143h"}));
  EXPECT_EQ(list[47], (Placement{10, 13, "256143h"}));
  EXPECT_EQ(list[48], (Placement{2, 7, "256143v"}));
  EXPECT_EQ(list.back(), (Placement{10, 13, "256143v"}));
  EXPECT_EQ(list, generate_literally(board.bezet, "256143"));
}

TEST_F(MoveGeneration, CornerTouchIsNoContact) {
  EXPECT_FALSE(listed(6, 2, 'h'));
  EXPECT_TRUE(listed(6, 3, 'h'));
}

TEST_F(MoveGeneration, FourCoveredCellsAreAllowedFiveAreNot) {
  EXPECT_TRUE(listed(7, 6, 'h'));   // covers (8,8), (8,9), (8,10), (8,11)
  EXPECT_FALSE(listed(7, 7, 'h'));  // five of them
  EXPECT_TRUE(listed(3, 8, 'v'));   // covers (8,8) and (8,9) only
  EXPECT_TRUE(listed(8, 7, 'v'));   // covers (8,8) and (9,8)
}

TEST_F(MoveGeneration, CellsCoveredTwiceCountOnce) {
  move lower{9, 8, "111111h"};  // covers row 9, columns 8 to 13, a second time
  plaats(board, lower);
  // (8,4) h covers (8,8), (8,9), (9,8), (9,9): four cells, six layers.
  EXPECT_TRUE(listed(8, 4, 'h'));
  EXPECT_FALSE(listed(8, 5, 'h'));
  EXPECT_EQ(generate(board.bezet, "256143"), generate_literally(board.bezet, "256143"));
}

TEST_F(MoveGeneration, EveryEntryCarriesTheTileDigitsAndItsOrientation) {
  for (const auto& p : generate(board.bezet, "614352")) {
    EXPECT_EQ(p.tekst.substr(0, 6), "614352");
    EXPECT_EQ(p.tekst.size(), 7u);
  }
}

TEST_F(MoveGeneration, SameBoardSameList) {
  EXPECT_EQ(generate(board.bezet, "123456"), generate(board.bezet, "123456"));
}

TEST(MoveGenerationAgreement, FollowsTheMaskRuleThroughWholeRandomGames) {
  std::mt19937_64 rng(20240611);
  int positions = 0;
  for (int game = 0; game < 30; ++game) {
    situatie s;
    init(s);
    move start{8, 8, "523146h"};
    plaats(s, start);
    for (;;) {
      const std::string tile = random_tile(rng);
      move zetten[MAXZETTEN];
      const int n = genereerzetten(s.bezet, zetten, tile.c_str());
      ASSERT_EQ(generate(s.bezet, tile.c_str()), generate_literally(s.bezet, tile.c_str()))
          << "game " << game << " position " << positions;
      ++positions;
      if (n == 0) break;
      plaats(s, zetten[rng() % n]);
    }
  }
  EXPECT_GT(positions, 30 * 20);
}

TEST(MoveGenerationAgreement, FollowsTheMaskRuleOnArbitrarySets) {
  // Any bit pattern, border cells included, at densities from sparse to nearly full.
  situatie masks_built;
  init(masks_built);
  std::mt19937_64 rng(7);
  for (int round = 0; round < 400; ++round) {
    const double density = (round % 20) / 20.0;
    std::bernoulli_distribution covered(density);
    bitset396 bezet;
    for (int k = 0; k < CELLEN; ++k) bezet[k] = covered(rng);
    ASSERT_EQ(generate(bezet, "135246"), generate_literally(bezet, "135246")) << round;
  }
}
