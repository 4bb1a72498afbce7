// A Zarvo bot in Java, standard library only: copy this folder to start your own.
//
// It keeps its own model of the board, lists the legal places of every tile it is given and
// plays the one after which its own colour scores most (on a tie, the one that leaves the
// other colours fewest points).
// Put your own strategy into chooseMove(); the rest is the plumbing every bot needs.
//
// The referee's lines, one per line on standard input:
//   "4"          our colour: we score the squares whose four corners show it
//   "Hh125364h"  the start move, later the opponent's moves: row, column, six digits, h or v
//   "Start"      only when we move first
//   "326415"     our tile: we answer row, column and orientation, e.g. "Kjh"
//   "Quit"       the game is over
// Standard output carries answers only, each flushed at once; debug output goes to System.err.

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;

public class ZarvoBot {
  static final int ROWS = 16; // rows A to P
  static final int COLS = 20; // columns a to t
  static final int MAX_OVERLAP = 4;
  static final int MAX_LINE = 64; // the referee's lines are far shorter

  /** A place for a tile: its top-left cell (1-based) and 'h' (2 by 6) or 'v' (6 by 2). */
  record Move(int row, int col, char orientation) {
    int height() { return orientation == 'h' ? 2 : 6; }
    int width() { return orientation == 'h' ? 6 : 2; }
    boolean onBoard() {
      return row >= 1 && col >= 1 && row + height() - 1 <= ROWS && col + width() - 1 <= COLS;
    }
    String answer() {
      return "" + (char) ('A' + row - 1) + (char) ('a' + col - 1) + orientation;
    }
  }

  /**
   * The colour seen in every cell, 0 where nothing lies. Rows 1..16 and columns 1..20 are the
   * field; rows 0 and 17 and columns 0 and 21 form an empty border, so that looking at the
   * neighbour of an edge cell is always safe.
   */
  static int[][] newBoard() { return new int[ROWS + 2][COLS + 2]; }

  static int[][] copy(int[][] board) {
    int[][] other = new int[board.length][];
    for (int r = 0; r < board.length; ++r) other[r] = board[r].clone();
    return other;
  }

  /**
   * Lays tile "t0..t5". Laid 'h' it shows t0..t5 on its top row and t5..t0 below; laid 'v' it
   * shows t0..t5 down its right column and t5..t0 down its left. New colours hide the old.
   */
  static void lay(int[][] board, Move m, String tile) {
    for (int i = 0; i < 6; ++i) {
      int colour = tile.charAt(i) - '0', mirror = tile.charAt(5 - i) - '0';
      if (m.orientation() == 'h') {
        board[m.row()][m.col() + i] = colour;
        board[m.row() + 1][m.col() + i] = mirror;
      } else {
        board[m.row() + i][m.col() + 1] = colour;
        board[m.row() + i][m.col()] = mirror;
      }
    }
  }

  /**
   * Legal: wholly on the board, at most 4 covered cells under it, and an edge shared with a
   * covered cell (a corner is not enough). Colours play no part.
   */
  static boolean isLegal(int[][] board, Move m) {
    if (!m.onBoard()) return false;
    int lastRow = m.row() + m.height() - 1, lastCol = m.col() + m.width() - 1;
    int overlap = 0;
    boolean contact = false;
    for (int r = m.row(); r <= lastRow; ++r) {
      for (int c = m.col(); c <= lastCol; ++c) if (board[r][c] != 0) ++overlap;
      contact |= board[r][m.col() - 1] != 0 || board[r][lastCol + 1] != 0;
    }
    for (int c = m.col(); c <= lastCol; ++c) {
      contact |= board[m.row() - 1][c] != 0 || board[lastRow + 1][c] != 0;
    }
    return overlap <= MAX_OVERLAP && contact;
  }

  /** Every legal place, horizontal ones first, row by row, left to right (the referee's order). */
  static List<Move> legalMoves(int[][] board) {
    List<Move> moves = new ArrayList<>();
    for (char orientation : new char[] {'h', 'v'}) {
      for (int row = 1; row <= ROWS; ++row) {
        for (int col = 1; col <= COLS; ++col) {
          Move m = new Move(row, col, orientation);
          if (isLegal(board, m)) moves.add(m);
        }
      }
    }
    return moves;
  }

  /**
   * The points of a colour: each square whose four corners show it is worth its size, the
   * distance between its first and last row. The cells between the corners do not matter.
   */
  static int score(int[][] board, int colour) {
    int points = 0;
    for (int r = 1; r < ROWS; ++r) {
      for (int c = 1; c < COLS; ++c) {
        if (board[r][c] != colour) continue;
        for (int d = 1; r + d <= ROWS && c + d <= COLS; ++d) {
          if (board[r + d][c] == colour && board[r][c + d] == colour
              && board[r + d][c + d] == colour) {
            points += d;
          }
        }
      }
    }
    return points;
  }

  /**
   * The strategy: the legal move after which our colour scores most; on a tie the one that
   * leaves the other colours (the opponent's is one of them) the fewest points; then the first.
   * This is the place for your own (guess the opponent's colour, or look further ahead).
   */
  static Move chooseMove(int[][] board, String tile, int colour, List<Move> moves) {
    Move best = moves.get(0);
    int bestPoints = -1, bestOthers = 0;
    for (Move m : moves) {
      int[][] trial = copy(board); // try the move on a copy
      lay(trial, m, tile);
      int points = score(trial, colour);
      if (points < bestPoints) continue;
      int others = 0;
      for (int other = 1; other <= 6; ++other) others += other == colour ? 0 : score(trial, other);
      if (points > bestPoints || others < bestOthers) {
        best = m;
        bestPoints = points;
        bestOthers = others;
      }
    }
    return best;
  }

  static boolean isTile(String text) {
    return text.length() == 6 && text.chars().allMatch(digit -> digit >= '1' && digit <= '6');
  }

  /** A full move such as "Gb256143h", of the start or the opponent; null when it is none. */
  static Move parseMove(String text) {
    if (text.length() != 9 || !isTile(text.substring(2, 8))) return null;
    char orientation = text.charAt(8);
    if (orientation != 'h' && orientation != 'v') return null;
    Move m = new Move(text.charAt(0) - 'A' + 1, text.charAt(1) - 'a' + 1, orientation);
    return m.onBoard() ? m : null;
  }

  /** One line without its line end, at most MAX_LINE characters of it kept; null at the end. */
  static String readLine(BufferedReader in) throws IOException {
    StringBuilder line = new StringBuilder();
    int c;
    while ((c = in.read()) != -1 && c != '\n') {
      if (line.length() < MAX_LINE && c != '\r') line.append((char) c);
    }
    return c == -1 && line.length() == 0 ? null : line.toString();
  }

  public static void main(String[] args) throws IOException {
    BufferedReader in = new BufferedReader(new InputStreamReader(System.in, StandardCharsets.UTF_8));
    int[][] board = newBoard();
    int colour = 0;
    for (String line; (line = readLine(in)) != null; ) {
      if (line.equals("Quit")) break;
      if (line.equals("Start")) continue; // we move first: our tile comes next
      Move move = parseMove(line);
      if (line.length() == 1 && line.charAt(0) >= '1' && line.charAt(0) <= '6') {
        colour = line.charAt(0) - '0';
      } else if (move != null) {
        lay(board, move, line.substring(2, 8));
      } else if (isTile(line)) {
        List<Move> moves = legalMoves(board);
        if (moves.isEmpty()) break; // cannot happen: the referee only sends tiles that fit
        Move m = chooseMove(board, line, colour, moves);
        System.out.println(m.answer());
        System.out.flush(); // the referee waits for this line
        lay(board, m, line); // our own move is not sent back to us
      } else {
        System.err.println("unexpected line: " + line);
      }
    }
  }
}
