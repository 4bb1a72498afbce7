// The same small bot in C++, for the tests of built entries: it keeps the covered cells
// and lays each tile at the first place that touches the covered area without covering any of
// it (else covering at most four cells).
#include <cstdio>
#include <cstring>
using std::printf;

enum { ROWS = 16, COLS = 20 };
static int covered[ROWS][COLS];

static void lay(int row, int col, char orientation, int mark, int* overlap, int* contact) {
  int height = orientation == 'h' ? 2 : 6, width = orientation == 'h' ? 6 : 2;
  *overlap = 0;
  *contact = 0;
  for (int r = row; r < row + height; ++r) {
    for (int c = col; c < col + width; ++c) {
      if (mark) {
        covered[r][c] = 1;
        continue;
      }
      *overlap += covered[r][c];
      static const int dr[4] = {-1, 1, 0, 0}, dc[4] = {0, 0, -1, 1};
      for (int d = 0; d < 4; ++d) {
        int nr = r + dr[d], nc = c + dc[d];
        int inside = nr >= row && nr < row + height && nc >= col && nc < col + width;
        if (!inside && nr >= 0 && nr < ROWS && nc >= 0 && nc < COLS && covered[nr][nc]) {
          *contact = 1;
        }
      }
    }
  }
}

static int fits(int row, int col, char orientation, int most) {
  int height = orientation == 'h' ? 2 : 6, width = orientation == 'h' ? 6 : 2;
  if (row + height > ROWS || col + width > COLS) return 0;
  int overlap, contact;
  lay(row, col, orientation, 0, &overlap, &contact);
  return contact && overlap <= most;
}

int main(void) {
  char line[256];
  while (fgets(line, sizeof line, stdin)) {
    line[strcspn(line, "\r\n")] = '\0';
    size_t length = strlen(line);
    int overlap, contact;
    if (strcmp(line, "Quit") == 0) return 0;
    if (length == 9) {
      lay(line[0] - 'A', line[1] - 'a', line[8], 1, &overlap, &contact);
    } else if (length == 6) {
      int found = 0;
      for (int most = 0; most <= 4 && !found; most += 4) {
        for (int r = 0; r < ROWS && !found; ++r) {
          for (int c = 0; c < COLS && !found; ++c) {
            for (const char* o = "hv"; *o && !found; ++o) {
              if (fits(r, c, *o, most)) {
                lay(r, c, *o, 1, &overlap, &contact);
                printf("%c%c%c\n", 'A' + r, 'a' + c, *o);
                found = 1;
              }
            }
          }
        }
      }
      if (!found) printf("Aah\n");
      fflush(stdout);
    }
  }
  return 0;
}
