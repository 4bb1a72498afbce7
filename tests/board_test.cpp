// The board record: a cleared board, the four neighbourhood masks and laying tiles.
#include "referee/board.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::vector<int> cells(const bitset396& set) {
  std::vector<int> out;
  for (int k = 0; k < CELLEN; ++k)
    if (set.test(k)) out.push_back(k);
  return out;
}

move make_move(int rij, int kolom, const char* tekst) {
  move m{rij, kolom, {}};
  std::snprintf(m.tekst, sizeof m.tekst, "%s", tekst);
  return m;
}

std::string full_move_text(const move& m) {
  char text[16];
  std::snprintf(text, sizeof text, "%c%c%s", 64 + m.rij, 96 + m.kolom, m.tekst);
  return text;
}

bool invariant_holds(const situatie& s) {
  for (int k = 0; k < CELLEN; ++k)
    if (s.bezet.test(k) != (s.bord[k / BORDKOLOMMEN][k % BORDKOLOMMEN] != 0)) return false;
  return true;
}

}  // namespace

TEST(Board, InitClearsEverythingEvenAfterAGame) {
  situatie s;
  init(s);
  move m = make_move(3, 4, "123456v");
  plaats(s, m);
  init(s);
  EXPECT_TRUE(s.bezet.none());
  for (const auto& row : s.bord)
    for (int32_t cell : row) EXPECT_EQ(cell, 0);
}

TEST(Board, MasksHoldExactlyTheirCells) {
  situatie s;
  init(s);
  init(s);  // building twice must not add cells
  EXPECT_EQ(cells(maskerbinnenhorz),
            (std::vector<int>{22, 23, 24, 25, 26, 27, 44, 45, 46, 47, 48, 49}));
  EXPECT_EQ(cells(maskerbuitenhorz),
            (std::vector<int>{0, 1, 2, 3, 4, 5, 21, 28, 43, 50, 66, 67, 68, 69, 70, 71}));
  EXPECT_EQ(cells(maskerbinnenvert),
            (std::vector<int>{22, 23, 44, 45, 66, 67, 88, 89, 110, 111, 132, 133}));
  EXPECT_EQ(cells(maskerbuitenvert),
            (std::vector<int>{0, 1, 21, 24, 43, 46, 65, 68, 87, 90, 109, 112, 131, 134, 154, 155}));
}

TEST(Board, StartTileLiesOnRowsEightAndNine) {
  situatie s;
  init(s);
  move m = make_move(8, 8, "523146h");
  plaats(s, m);
  const int top[6] = {5, 2, 3, 1, 4, 6};
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(s.bord[8][8 + k], top[k]);
    EXPECT_EQ(s.bord[9][8 + k], top[5 - k]);
  }
  EXPECT_EQ(cells(s.bezet),
            (std::vector<int>{184, 185, 186, 187, 188, 189, 206, 207, 208, 209, 210, 211}));
  EXPECT_TRUE(invariant_holds(s));
  EXPECT_EQ(full_move_text(m), "Hh523146h");
}

TEST(Board, VerticalTileReachesTheLastRowAndColumn) {
  situatie s;
  init(s);
  move m = make_move(11, 19, "123456v");
  plaats(s, m);
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(s.bord[11 + k][19], 6 - k) << "row " << 11 + k;  // second line: digits reversed
    EXPECT_EQ(s.bord[11 + k][20], 1 + k) << "row " << 11 + k;  // first line: text order
  }
  EXPECT_EQ(s.bezet.count(), 12u);
  EXPECT_TRUE(invariant_holds(s));
  for (int r = 0; r < BORDRIJEN; ++r) EXPECT_EQ(s.bord[r][21], 0);
  for (int c = 0; c < BORDKOLOMMEN; ++c) EXPECT_EQ(s.bord[17][c], 0);
}

TEST(Board, AnyOrientationLetterButHLaysVertically) {
  situatie a, b;
  init(a);
  init(b);
  move v = make_move(2, 2, "654321v");
  move x = make_move(2, 2, "654321x");
  plaats(a, v);
  plaats(b, x);
  EXPECT_EQ(a.bezet, b.bezet);
  EXPECT_EQ(cells(a.bezet).back(), 7 * BORDKOLOMMEN + 3);
}

TEST(Board, NewTileHidesTheColoursItCovers) {
  situatie s;
  init(s);
  move first = make_move(8, 8, "111111h");
  move second = make_move(9, 12, "222222h");  // covers (9,12) and (9,13) of the first
  plaats(s, first);
  plaats(s, second);
  EXPECT_EQ(s.bezet.count(), 22u);
  EXPECT_EQ(s.bord[9][12], 2);
  EXPECT_EQ(s.bord[9][13], 2);
  EXPECT_EQ(s.bord[9][11], 1);
  EXPECT_TRUE(invariant_holds(s));
}

TEST(Board, AnswerBecomesAMoveRecord) {
  // Answer "Fch" for the tile 523146: row F = 6, column c = 3.
  const char answer[] = "Fch";
  move m = make_move(answer[0] - 64, answer[1] - 96, "523146");
  m.tekst[6] = answer[2];
  m.tekst[7] = '\0';
  EXPECT_EQ(m.rij, 6);
  EXPECT_EQ(m.kolom, 3);
  EXPECT_STREQ(m.tekst, "523146h");
  EXPECT_EQ(full_move_text(m), "Fc523146h");
}

TEST(Board, AnchorFarOffTheBoardIsAnOutOfRangeError) {
  situatie s;
  init(s);
  move below = make_move(17, 1, "123456v");
  EXPECT_THROW(plaats(s, below), std::out_of_range);
  init(s);
  move above = make_move(-3, 1, "123456h");
  EXPECT_THROW(plaats(s, above), std::out_of_range);
}
