// RandomBot: a Zarvo player in Java that plays a uniformly random legal move.
// Build: javac RandomBot.java. Run through a copy of java-launcher named RandomBot placed next
// to RandomBot.class: the launcher starts "java ... RandomBot" in the same process.
//
// Lines received: colour, start move ("Hh523146h"), "Start" (first player only), then tiles
// ("256143", answer with "Gbh": row A-P, column a-t, h or v) and the opponent's full moves
// ("Gb256143h"), and finally "Quit".
import java.io.BufferedReader;
import java.io.InputStreamReader;
import java.util.ArrayList;
import java.util.List;
import java.util.Random;

public class RandomBot {
  static final int ROWS = 16, COLS = 20;
  // Occupied cells, with a one-cell empty border so neighbours never fall off the array.
  static final boolean[][] taken = new boolean[ROWS + 2][COLS + 2];

  // Marks the tile's 12 cells; colours do not matter for finding legal moves.
  static void lay(int row, int col, boolean horizontal) {
    for (int r = 0; r < (horizontal ? 2 : 6); r++)
      for (int c = 0; c < (horizontal ? 6 : 2); c++) taken[row + r][col + c] = true;
  }

  // Legal: inside the board, at most 4 covered cells already taken, and at least one taken
  // cell sharing an edge with the tile.
  static boolean legal(int row, int col, boolean horizontal) {
    int height = horizontal ? 2 : 6, width = horizontal ? 6 : 2;
    if (row + height - 1 > ROWS || col + width - 1 > COLS) return false;
    int overlap = 0;
    boolean touches = false;
    for (int r = row; r < row + height; r++)
      for (int c = col; c < col + width; c++) if (taken[r][c]) overlap++;
    for (int c = col; c < col + width; c++) touches |= taken[row - 1][c] || taken[row + height][c];
    for (int r = row; r < row + height; r++) touches |= taken[r][col - 1] || taken[r][col + width];
    return overlap <= 4 && touches;
  }

  public static void main(String[] args) throws Exception {
    BufferedReader in = new BufferedReader(new InputStreamReader(System.in));
    Random random = new Random();
    boolean colourRead = false;
    String line;
    while ((line = in.readLine()) != null) {
      line = line.trim();
      if (line.equals("Quit")) break;
      if (line.equals("Start")) continue;
      if (!colourRead) {
        colourRead = true;  // our colour: a random bot has no use for it
      } else if (line.length() == 9) {  // start move or the opponent's move
        lay(line.charAt(0) - 'A' + 1, line.charAt(1) - 'a' + 1, line.charAt(8) == 'h');
      } else if (line.length() == 6) {  // our tile: answer with a random legal move
        List<int[]> moves = new ArrayList<>();
        for (int h = 1; h >= 0; h--)
          for (int r = 1; r <= ROWS; r++)
            for (int c = 1; c <= COLS; c++)
              if (legal(r, c, h == 1)) moves.add(new int[] {r, c, h});
        int[] m = moves.get(random.nextInt(moves.size()));
        lay(m[0], m[1], m[2] == 1);
        // println on System.out flushes only with autoflush; flush explicitly.
        System.out.println("" + (char) ('A' + m[0] - 1) + (char) ('a' + m[1] - 1) + (m[2] == 1 ? 'h' : 'v'));
        System.out.flush();
      }
    }
  }
}
