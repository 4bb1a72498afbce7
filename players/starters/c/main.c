/* A Zarvo bot in C, standard library only: copy this folder to start your own.
 *
 * It keeps its own model of the board, lists the legal places of every tile it is given and
 * plays the one after which its own colour scores most (on a tie, the one that leaves the
 * other colours fewest points).
 * Put your own strategy into choose_move(); the rest is the plumbing every bot needs.
 *
 * The referee's lines, one per line on standard input:
 *   "4"          our colour: we score the squares whose four corners show it
 *   "Hh125364h"  the start move, later the opponent's moves: row, column, six digits, h or v
 *   "Start"      only when we move first
 *   "326415"     our tile: we answer row, column and orientation, e.g. "Kjh"
 *   "Quit"       the game is over
 * Standard output carries answers only, each flushed at once; debug output goes to stderr. */
#include <stdio.h>
#include <string.h>

enum { ROWS = 16, COLS = 20, MAX_OVERLAP = 4, MAX_MOVES = 434 };

/* The colour seen in every cell, 0 where nothing lies. Rows 1..16 and columns 1..20 are the
 * field; row 0, row 17, column 0 and column 21 form an empty border, so that looking at the
 * neighbour of an edge cell is always safe. */
typedef struct {
  int cell[ROWS + 2][COLS + 2];
} Board;

typedef struct {
  int row, col;     /* the tile's top-left cell, 1-based */
  char orientation; /* 'h': 2 rows by 6 columns, 'v': 6 rows by 2 columns */
} Move;

static int height(char orientation) { return orientation == 'h' ? 2 : 6; }
static int width(char orientation) { return orientation == 'h' ? 6 : 2; }

/* Lays tile "t0..t5". Laid 'h' it shows t0..t5 on its top row and t5..t0 below; laid 'v' it
 * shows t0..t5 down its right column and t5..t0 down its left. New colours hide the old. */
static void lay(Board* board, Move m, const char* tile) {
  for (int i = 0; i < 6; ++i) {
    int colour = tile[i] - '0', mirror = tile[5 - i] - '0';
    if (m.orientation == 'h') {
      board->cell[m.row][m.col + i] = colour;
      board->cell[m.row + 1][m.col + i] = mirror;
    } else {
      board->cell[m.row + i][m.col + 1] = colour;
      board->cell[m.row + i][m.col] = mirror;
    }
  }
}

/* Legal: wholly on the board, at most 4 covered cells under it, and an edge shared with a
 * covered cell (a corner is not enough). Colours play no part. */
static int is_legal(const Board* board, Move m) {
  int last_row = m.row + height(m.orientation) - 1, last_col = m.col + width(m.orientation) - 1;
  if (m.row < 1 || m.col < 1 || last_row > ROWS || last_col > COLS) return 0;
  int overlap = 0, contact = 0;
  for (int r = m.row; r <= last_row; ++r) {
    for (int c = m.col; c <= last_col; ++c) overlap += board->cell[r][c] != 0;
    contact |= board->cell[r][m.col - 1] || board->cell[r][last_col + 1];
  }
  for (int c = m.col; c <= last_col; ++c) {
    contact |= board->cell[m.row - 1][c] || board->cell[last_row + 1][c];
  }
  return overlap <= MAX_OVERLAP && contact;
}

/* Every legal place of a tile, horizontal ones first, each row by row, left to right (the
 * referee's own order). Returns how many were written. */
static int legal_moves(const Board* board, Move* moves) {
  int count = 0;
  const char orientations[2] = {'h', 'v'};
  for (int o = 0; o < 2; ++o) {
    for (int row = 1; row + height(orientations[o]) - 1 <= ROWS; ++row) {
      for (int col = 1; col + width(orientations[o]) - 1 <= COLS; ++col) {
        Move m = {row, col, orientations[o]};
        if (is_legal(board, m)) moves[count++] = m;
      }
    }
  }
  return count;
}

/* The points of a colour: each square whose four corners show it is worth its size, the
 * distance between its first and last row. The cells between the corners do not matter. */
static int score(const Board* board, int colour) {
  int points = 0;
  for (int r = 1; r < ROWS; ++r) {
    for (int c = 1; c < COLS; ++c) {
      if (board->cell[r][c] != colour) continue;
      for (int d = 1; r + d <= ROWS && c + d <= COLS; ++d) {
        if (board->cell[r + d][c] == colour && board->cell[r][c + d] == colour &&
            board->cell[r + d][c + d] == colour) {
          points += d;
        }
      }
    }
  }
  return points;
}

/* The strategy: the legal move after which our colour scores most; on a tie the one that
 * leaves the other colours (the opponent's is one of them) the fewest points; then the first.
 * This is the place for your own (guess the opponent's colour, or look further ahead). */
static Move choose_move(const Board* board, const char* tile, int colour, const Move* moves,
                        int count) {
  int best = 0, best_points = -1, best_others = 0;
  for (int i = 0; i < count; ++i) {
    Board trial = *board; /* try the move on a copy */
    lay(&trial, moves[i], tile);
    int points = score(&trial, colour);
    if (points < best_points) continue;
    int others = 0;
    for (int other = 1; other <= 6; ++other) others += other == colour ? 0 : score(&trial, other);
    if (points > best_points || others < best_others) {
      best = i, best_points = points, best_others = others;
    }
  }
  return moves[best];
}

static int is_tile(const char* text) {
  if (strlen(text) < 6) return 0;
  for (int i = 0; i < 6; ++i) {
    if (text[i] < '1' || text[i] > '6') return 0;
  }
  return 1;
}

/* A full move such as "Gb256143h", of the start or the opponent; the referee only sends
 * legal ones, so the range check is all that keeps a garbled line off the board. */
static int parse_move(const char* text, Move* m) {
  if (strlen(text) != 9 || !is_tile(text + 2) || (text[8] != 'h' && text[8] != 'v')) return 0;
  *m = (Move){text[0] - 'A' + 1, text[1] - 'a' + 1, text[8]};
  return m->row >= 1 && m->col >= 1 && m->row + height(m->orientation) - 1 <= ROWS &&
         m->col + width(m->orientation) - 1 <= COLS;
}

/* Reads one line without its line end into `line`; a longer line is cut at the buffer's size
 * and the rest skipped. Returns 0 at the end of input. */
static int read_line(char* line, int size) {
  if (!fgets(line, size, stdin)) return 0;
  size_t length = strcspn(line, "\r\n");
  if (line[length] == '\0' && length == (size_t)size - 1) {
    int c;
    while ((c = getchar()) != EOF && c != '\n') {
    }
  }
  line[length] = '\0';
  return 1;
}

int main(void) {
  static Board board; /* all empty */
  static Move moves[MAX_MOVES];
  int colour = 0;
  char line[64];
  Move m;
  while (read_line(line, sizeof line)) {
    if (strcmp(line, "Quit") == 0) break;
    if (strcmp(line, "Start") == 0) continue; /* we move first: our tile comes next */
    if (strlen(line) == 1 && line[0] >= '1' && line[0] <= '6') {
      colour = line[0] - '0';
    } else if (parse_move(line, &m)) {
      lay(&board, m, line + 2);
    } else if (strlen(line) == 6 && is_tile(line)) {
      int count = legal_moves(&board, moves);
      if (count == 0) break; /* cannot happen: the referee only sends tiles that fit */
      m = choose_move(&board, line, colour, moves, count);
      printf("%c%c%c\n", 'A' + m.row - 1, 'a' + m.col - 1, m.orientation);
      fflush(stdout);       /* the referee waits for this line */
      lay(&board, m, line); /* our own move is not sent back to us */
    } else {
      fprintf(stderr, "unexpected line: %s\n", line);
    }
  }
  return 0;
}
