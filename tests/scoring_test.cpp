// Scoring: squares whose four corners show the colour, each worth its size.
#include "referee/scoring.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

#include "referee/board.h"

namespace {

class Scoring : public ::testing::Test {
 protected:
  void SetUp() override { init(board); }
  void paint(int kleur, std::initializer_list<std::pair<int, int>> where) {
    for (auto [r, c] : where) board.bord[r][c] = kleur;
  }
  void block(int kleur, int top, int left, int rows, int columns) {
    for (int r = top; r < top + rows; ++r)
      for (int c = left; c < left + columns; ++c) board.bord[r][c] = kleur;
  }
  situatie board;
};

}  // namespace

TEST_F(Scoring, SingleTileScoresNothingForAnyColour) {
  move start{8, 8, "523146h"};
  plaats(board, start);
  for (int kleur = 1; kleur <= 6; ++kleur) EXPECT_EQ(telpunten(board.bord, kleur), 0) << kleur;
  move vertical{2, 2, "523146v"};
  plaats(board, vertical);
  for (int kleur = 1; kleur <= 6; ++kleur) EXPECT_EQ(telpunten(board.bord, kleur), 0) << kleur;
}

TEST_F(Scoring, BlocksOfOneColour) {
  block(3, 1, 1, 2, 2);
  EXPECT_EQ(telpunten(board.bord, 3), 1);
  init(board);
  block(3, 5, 5, 3, 3);
  EXPECT_EQ(telpunten(board.bord, 3), 6);
  init(board);
  block(3, 14, 1, 2, 4);
  EXPECT_EQ(telpunten(board.bord, 3), 3);
  EXPECT_EQ(telpunten(board.bord, 4), 0);
}

TEST_F(Scoring, OnlyTheCornersMatter) {
  block(2, 1, 1, 16, 20);
  paint(5, {{1, 1}, {1, 16}, {16, 1}, {16, 16}});
  EXPECT_EQ(telpunten(board.bord, 5), 15);
}

TEST_F(Scoring, FieldCornersFormARectangleNotASquare) {
  paint(5, {{1, 1}, {1, 20}, {16, 1}, {16, 20}});
  EXPECT_EQ(telpunten(board.bord, 5), 0);
}

TEST_F(Scoring, FullBoardOfOneColour) {
  block(6, 1, 1, 16, 20);
  EXPECT_EQ(telpunten(board.bord, 6), 8160);
  EXPECT_EQ(telpunten(board.bord, 1), 0);
}

TEST_F(Scoring, CoveredCornerNoLongerScores) {
  move first{8, 8, "111111h"};
  plaats(board, first);  // rows 8 and 9, columns 8 to 13: five 2x2 blocks of colour 1
  EXPECT_EQ(telpunten(board.bord, 1), 5 * 1);
  move over{9, 13, "222222h"};  // hides (9,13)
  plaats(board, over);
  EXPECT_EQ(telpunten(board.bord, 1), 4);
}

TEST_F(Scoring, BorderCellsPlayNoPart) {
  block(4, 0, 0, BORDRIJEN, BORDKOLOMMEN);
  for (int c = 0; c < BORDKOLOMMEN; ++c) board.bord[1][c] = board.bord[16][c] = 1;
  for (int r = 0; r < BORDRIJEN; ++r) board.bord[r][1] = board.bord[r][20] = 1;
  // Only field cells count: the 16 x 20 field is all colour 4 but for its outer ring.
  block(4, 2, 2, 14, 18);
  int expected = 0;
  for (int d = 1; d <= 13; ++d) expected += d * (14 - d) * (18 - d);
  EXPECT_EQ(telpunten(board.bord, 4), expected);
}
