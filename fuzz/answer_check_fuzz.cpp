// Fuzz target: the referee's answer checks against the generated move list.
//
// The input bytes build a board the way a game does: the starting tile, then a number of moves,
// each picked from genereerzetten's list for a tile drawn from the bytes. At every step the list
// must equal, entry by entry and in order, the list of a plain cell-by-cell reading of the
// placement rule, and the board must keep its invariant (a cell is covered exactly when it has
// a colour). On the final board, for a final tile:
//   - every answer of three characters over the letters around the board's ranges is accepted
//     by the referee's checks exactly when its placement is in the list;
//   - an arbitrary answer from the remaining bytes fails exactly the first check that a plain
//     reading of the check table says it fails (or none);
//   - the scores of all six colours equal a plain count of the scoring squares.
//
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "referee/answer_check.h"
#include "referee/board.h"
#include "referee/movegen.h"
#include "referee/player_messaging.h"
#include "referee/scoring.h"
#include "referee/supply.h"
#include "rng/secure_rng.h"

// The reference readings below are the harness's own code: their comparisons are no coverage
// worth steering by, and tracing them would cost most of the run time.
#if defined(__clang__)
#define REFERENCE __attribute__((no_sanitize("coverage")))
#else
#define REFERENCE
#endif

namespace {

class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool empty() const { return at_ >= size_; }
  unsigned byte() { return at_ < size_ ? data_[at_++] : 0; }
  unsigned word() { return byte() | (byte() << 8); }
  std::string rest() {
    std::string text(reinterpret_cast<const char*>(data_ + at_), size_ - at_);
    at_ = size_;
    return text;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "answer_check: %s\n", what);
  std::fflush(stderr);
  __builtin_trap();
}

// A tile text: a permutation of "123456" chosen by the bytes.
void draw_tile(Bytes& in, char tile[8]) {
  char digits[] = "123456";
  for (int k = 5; k > 0; --k) {
    int j = static_cast<int>(in.byte() % static_cast<unsigned>(k + 1));
    char t = digits[k];
    digits[k] = digits[j];
    digits[j] = t;
  }
  std::memcpy(tile, digits, 7);
}

// The occupancy set read cell by cell once, so that the reference tests below are plain reads.
struct Cells {
  bool at[BORDRIJEN][BORDKOLOMMEN];
  REFERENCE explicit Cells(const bitset396& bezet) {
    for (int r = 0; r < BORDRIJEN; ++r)
      for (int c = 0; c < BORDKOLOMMEN; ++c)
        at[r][c] = bezet.test(static_cast<size_t>(r * BORDKOLOMMEN + c));
  }
};

REFERENCE bool covered(const Cells& cells, int row, int column) { return cells.at[row][column]; }

// The placement rule read cell by cell: the tile's twelve cells and its sixteen edge neighbours.
REFERENCE bool legal_by_cells(const Cells& bezet, int row, int column, bool horizontal) {
  const int rows = horizontal ? 2 : 6;
  const int columns = horizontal ? 6 : 2;
  if (row < 1 || column < 1 || row + rows - 1 > RIJEN || column + columns - 1 > KOLOMMEN) {
    return false;
  }
  int overlap = 0;
  bool contact = false;
  for (int r = row - 1; r <= row + rows; ++r) {
    for (int c = column - 1; c <= column + columns; ++c) {
      const bool inside_rows = r >= row && r < row + rows;
      const bool inside_columns = c >= column && c < column + columns;
      if (inside_rows && inside_columns) {
        overlap += covered(bezet, r, c);
      } else if (inside_rows || inside_columns) {  // shares an edge, not a corner
        contact = contact || covered(bezet, r, c);
      }
    }
  }
  return overlap <= 4 && contact;
}

REFERENCE int list_by_cells(const bitset396& occupied, move* list, const char* tile) {
  const Cells bezet(occupied);
  int n = 0;
  for (int horizontal = 1; horizontal >= 0; --horizontal) {
    const int last_row = horizontal ? 15 : 11;
    const int last_column = horizontal ? 15 : 19;
    for (int r = 1; r <= last_row; ++r) {
      for (int c = 1; c <= last_column; ++c) {
        if (!legal_by_cells(bezet, r, c, horizontal)) continue;
        list[n].rij = r;
        list[n].kolom = c;
        std::memcpy(list[n].tekst, tile, 6);
        list[n].tekst[6] = horizontal ? 'h' : 'v';
        list[n].tekst[7] = '\0';
        ++n;
      }
    }
  }
  return n;
}

REFERENCE void compare_lists(const bitset396& bezet, const char* tile, move* list, int count) {
  static move expected[MAXZETTEN];
  const int n = list_by_cells(bezet, expected, tile);
  if (count != n) {
    std::fprintf(stderr, "tile %s: genereerzetten lists %d moves, the rule allows %d\n", tile,
                 count, n);
    fail("move list has the wrong length");
  }
  for (int i = 0; i < n; ++i) {
    if (list[i].rij != expected[i].rij || list[i].kolom != expected[i].kolom ||
        std::strcmp(list[i].tekst, expected[i].tekst) != 0) {
      std::fprintf(stderr, "entry %d: got %d,%d,%s expected %d,%d,%s\n", i, list[i].rij,
                   list[i].kolom, list[i].tekst, expected[i].rij, expected[i].kolom,
                   expected[i].tekst);
      fail("move list differs from the placement rule");
    }
  }
}

REFERENCE void check_board(const situatie& board) {
  for (int k = 0; k < CELLEN; ++k) {
    const int colour = (&board.bord[0][0])[k];
    if (board.bezet.test(static_cast<size_t>(k)) != (colour != 0)) fail("bezet and bord disagree");
    if (colour < 0 || colour > 6) fail("a cell holds no colour of a tile");
  }
}

// The first failing check of the answer table (by letter), or 0 when every check passes.
REFERENCE char first_failing_check(const std::string& answer, const bitset396& occupied) {
  const Cells bezet(occupied);
  if (answer.size() != 3) return 'a';
  const char o = answer[2];
  if (o != 'h' && o != 'v') return 'b';
  const bool horizontal = o == 'h';
  if (answer[0] < 'A' || answer[0] > (horizontal ? 'O' : 'K')) return 'c';
  if (answer[1] < 'a' || answer[1] > (horizontal ? 'o' : 's')) return 'd';
  const int row = answer[0] - 64;
  const int column = answer[1] - 96;
  int overlap = 0;
  bool contact = false;
  const int rows = horizontal ? 2 : 6;
  const int columns = horizontal ? 6 : 2;
  for (int r = row - 1; r <= row + rows; ++r) {
    for (int c = column - 1; c <= column + columns; ++c) {
      const bool inside_rows = r >= row && r < row + rows;
      const bool inside_columns = c >= column && c < column + columns;
      if (inside_rows && inside_columns)
        overlap += covered(bezet, r, c);
      else if (inside_rows || inside_columns)
        contact = contact || covered(bezet, r, c);
    }
  }
  if (overlap > 4) return 'e';
  if (!contact) return 'f';
  return 0;
}

char check_of_message(const char* message) {
  if (message == nullptr) return 0;
  if (std::strstr(message, "(wrong length)")) return 'a';
  if (std::strstr(message, "(no vertical or horizontal)")) return 'b';
  if (std::strstr(message, "(out of board)")) return 'c';  // checks c and d share the text
  if (std::strstr(message, "too many overlaps")) return 'e';
  if (std::strstr(message, "not adjacent")) return 'f';
  fail("unknown check message");
}

// listed[row][column][0 for h, 1 for v]: the placements of the list.
struct Listed {
  bool at[RIJEN + 2][KOLOMMEN + 2][2] = {};
  REFERENCE Listed(const move* list, int count) {
    for (int i = 0; i < count; ++i) at[list[i].rij][list[i].kolom][list[i].tekst[6] == 'v'] = true;
  }
  REFERENCE bool has(int row, int column, char orientation) const {
    if (orientation != 'h' && orientation != 'v') return false;
    if (row < 0 || row > RIJEN + 1 || column < 0 || column > KOLOMMEN + 1) return false;
    return at[row][column][orientation == 'v'];
  }
};

REFERENCE int32_t score_by_cells(const situatie& board, int colour) {
  int32_t points = 0;
  for (int r = 1; r <= RIJEN; ++r)
    for (int c = 1; c <= KOLOMMEN; ++c)
      for (int d = 1; r + d <= RIJEN && c + d <= KOLOMMEN; ++d)
        if (board.bord[r][c] == colour && board.bord[r + d][c] == colour &&
            board.bord[r][c + d] == colour && board.bord[r + d][c + d] == colour) {
          points += d;
        }
  return points;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Bytes in(data, size);
  static situatie board;
  init(board);
  check_board(board);

  char tile[8];
  draw_tile(in, tile);
  move start{};
  start.rij = 8;
  start.kolom = 8;
  std::memcpy(start.tekst, tile, 6);
  start.tekst[6] = 'h';
  plaats(board, start);

  static move list[MAXZETTEN];
  const unsigned moves = in.byte() % 64;
  int count = 0;
  for (unsigned m = 0; m <= moves; ++m) {
    draw_tile(in, tile);
    count = genereerzetten(board.bezet, list, tile);
    compare_lists(board.bezet, tile, list, count);
    if (count == 0 || m == moves) break;
    move chosen = list[in.word() % static_cast<unsigned>(count)];
    plaats(board, chosen);
    check_board(board);
  }

  // Every answer over the letters one beyond each range, both orientations and a wrong one.
  static const char kOrientations[] = {'h', 'v', 'x'};
  const Listed listed(list, count);
  for (char row = '@'; row <= 'Q'; ++row) {
    for (char column = '`'; column <= 'u'; ++column) {
      for (char orientation : kOrientations) {
        const char answer[4] = {row, column, orientation, '\0'};
        const bool accepted = eersteFout(answer, board.bezet) == nullptr;
        const bool in_list = listed.has(row - 64, column - 96, orientation);
        if (accepted != in_list) {
          std::fprintf(stderr, "answer %s on tile %s: %s by the checks, %s\n", answer, tile,
                       accepted ? "accepted" : "refused", in_list ? "listed" : "not listed");
          fail("the checks and the move list disagree");
        }
      }
    }
  }

  const std::string answer = in.rest();
  const std::string as_text = answer.substr(0, answer.find('\0'));
  char expected = first_failing_check(as_text, board.bezet);
  if (expected == 'd') expected = 'c';
  if (check_of_message(eersteFout(as_text.c_str(), board.bezet)) != expected) {
    std::fprintf(stderr, "answer \"%s\": expected check %c to fail first\n", as_text.c_str(),
                 expected == 0 ? '-' : expected);
    fail("the checks do not fail in their order");
  }

  for (int colour = 1; colour <= 6; ++colour) {
    if (telpunten(board.bord, colour) != score_by_cells(board, colour)) fail("wrong score");
  }
  return 0;
}
