// A Zarvo bot in C++20, standard library only: copy this folder to start your own.
//
// It keeps its own model of the board, lists the legal places of every tile it is given and
// plays the one after which its own colour scores most (on a tie, the one that leaves the
// other colours fewest points).
// Put your own strategy into choose_move(); the rest is the plumbing every bot needs.
//
// The referee's lines, one per line on standard input:
//   "4"          our colour: we score the squares whose four corners show it
//   "Hh125364h"  the start move, later the opponent's moves: row, column, six digits, h or v
//   "Start"      only when we move first
//   "326415"     our tile: we answer row, column and orientation, e.g. "Kjh"
//   "Quit"       the game is over
// Standard output carries answers only, each flushed at once; debug output goes to std::cerr.
#include <algorithm>
#include <array>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kRows = 16;  // rows A to P
constexpr int kCols = 20;  // columns a to t
constexpr int kMaxOverlap = 4;
constexpr std::size_t kMaxLine = 64;  // the referee's lines are far shorter

struct Move {
  int row = 0, col = 0;    // the tile's top-left cell, 1-based
  char orientation = 'h';  // 'h': 2 rows by 6 columns, 'v': 6 rows by 2 columns
  int height() const { return orientation == 'h' ? 2 : 6; }
  int width() const { return orientation == 'h' ? 6 : 2; }
  bool on_board() const {
    return row >= 1 && col >= 1 && row + height() - 1 <= kRows && col + width() - 1 <= kCols;
  }
  std::string answer() const {
    return {static_cast<char>('A' + row - 1), static_cast<char>('a' + col - 1), orientation};
  }
};

// The colour seen in every cell, 0 where nothing lies. Rows 1..16 and columns 1..20 are the
// field; rows 0 and 17 and columns 0 and 21 form an empty border, so that looking at the
// neighbour of an edge cell is always safe.
using Board = std::array<std::array<int, kCols + 2>, kRows + 2>;

// Lays tile "t0..t5". Laid 'h' it shows t0..t5 on its top row and t5..t0 below; laid 'v' it
// shows t0..t5 down its right column and t5..t0 down its left. New colours hide the old.
void lay(Board& board, const Move& m, std::string_view tile) {
  for (int i = 0; i < 6; ++i) {
    const int colour = tile[i] - '0', mirror = tile[5 - i] - '0';
    if (m.orientation == 'h') {
      board[m.row][m.col + i] = colour;
      board[m.row + 1][m.col + i] = mirror;
    } else {
      board[m.row + i][m.col + 1] = colour;
      board[m.row + i][m.col] = mirror;
    }
  }
}

// Legal: wholly on the board, at most 4 covered cells under it, and an edge shared with a
// covered cell (a corner is not enough). Colours play no part.
bool is_legal(const Board& board, const Move& m) {
  if (!m.on_board()) return false;
  const int last_row = m.row + m.height() - 1, last_col = m.col + m.width() - 1;
  int overlap = 0;
  bool contact = false;
  for (int r = m.row; r <= last_row; ++r) {
    for (int c = m.col; c <= last_col; ++c) overlap += board[r][c] != 0;
    contact = contact || board[r][m.col - 1] != 0 || board[r][last_col + 1] != 0;
  }
  for (int c = m.col; c <= last_col; ++c) {
    contact = contact || board[m.row - 1][c] != 0 || board[last_row + 1][c] != 0;
  }
  return overlap <= kMaxOverlap && contact;
}

// Every legal place of a tile, horizontal ones first, each row by row, left to right (the
// referee's own order).
std::vector<Move> legal_moves(const Board& board) {
  std::vector<Move> moves;
  for (char orientation : {'h', 'v'}) {
    for (int row = 1; row <= kRows; ++row) {
      for (int col = 1; col <= kCols; ++col) {
        if (Move m{row, col, orientation}; is_legal(board, m)) moves.push_back(m);
      }
    }
  }
  return moves;
}

// The points of a colour: each square whose four corners show it is worth its size, the
// distance between its first and last row. The cells between the corners do not matter.
int score(const Board& board, int colour) {
  int points = 0;
  for (int r = 1; r < kRows; ++r) {
    for (int c = 1; c < kCols; ++c) {
      if (board[r][c] != colour) continue;
      for (int d = 1; r + d <= kRows && c + d <= kCols; ++d) {
        if (board[r + d][c] == colour && board[r][c + d] == colour &&
            board[r + d][c + d] == colour) {
          points += d;
        }
      }
    }
  }
  return points;
}

// The strategy: the legal move after which our colour scores most; on a tie the one that
// leaves the other colours (the opponent's is one of them) the fewest points; then the first.
// This is the place for your own (guess the opponent's colour, or look further ahead).
Move choose_move(const Board& board, std::string_view tile, int colour,
                 const std::vector<Move>& moves) {
  Move best = moves.front();
  int best_points = -1, best_others = 0;
  for (const Move& m : moves) {
    Board trial = board;  // try the move on a copy
    lay(trial, m, tile);
    const int points = score(trial, colour);
    if (points < best_points) continue;
    int others = 0;
    for (int other = 1; other <= 6; ++other) others += other == colour ? 0 : score(trial, other);
    if (points > best_points || others < best_others) {
      best = m;
      best_points = points;
      best_others = others;
    }
  }
  return best;
}

bool is_tile(std::string_view text) {
  return text.size() == 6 && std::all_of(text.begin(), text.end(),
                                         [](char digit) { return digit >= '1' && digit <= '6'; });
}

// A full move such as "Gb256143h", of the start or the opponent.
std::optional<Move> parse_move(std::string_view text) {
  if (text.size() != 9 || !is_tile(text.substr(2, 6))) return std::nullopt;
  if (text[8] != 'h' && text[8] != 'v') return std::nullopt;
  Move m{text[0] - 'A' + 1, text[1] - 'a' + 1, text[8]};
  return m.on_board() ? std::optional(m) : std::nullopt;
}

// One line without its line end, at most kMaxLine characters of it kept; nothing at the end of
// input.
std::optional<std::string> read_line() {
  std::string line;
  int c;
  while ((c = std::cin.get()) != EOF && c != '\n') {
    if (line.size() < kMaxLine && c != '\r') line += static_cast<char>(c);
  }
  if (c == EOF && line.empty()) return std::nullopt;
  return line;
}

}  // namespace

int main() {
  Board board{};  // all empty
  int colour = 0;
  while (std::optional<std::string> next = read_line()) {
    const std::string& line = *next;
    if (line == "Quit") break;
    if (line == "Start") continue;  // we move first: our tile comes next
    if (line.size() == 1 && line[0] >= '1' && line[0] <= '6') {
      colour = line[0] - '0';
    } else if (std::optional<Move> move = parse_move(line)) {
      lay(board, *move, std::string_view(line).substr(2, 6));
    } else if (is_tile(line)) {
      std::vector<Move> moves = legal_moves(board);
      if (moves.empty()) break;  // cannot happen: the referee only sends tiles that fit
      Move m = choose_move(board, line, colour, moves);
      std::cout << m.answer() << std::endl;  // std::endl flushes: the referee waits for it
      lay(board, m, line);                   // our own move is not sent back to us
    } else {
      std::cerr << "unexpected line: " << line << std::endl;
    }
  }
}
