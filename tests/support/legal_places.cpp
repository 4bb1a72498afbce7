// The legal places of every move's tile in a played game, by the referee's own move generation,
// for the browser test of the replay page's legal-places view.
//
//   legal_places LOG
//
// Replays the game log's starting tile and its "Round N player P: MOVE" lines and prints one
// JSON object: for each move number N (from 1), the answers (row letter, column letter,
// orientation) under which its tile could have been laid on the board before it, in the order
// of the referee's list: {"1": ["Fch", ...], "2": [...], ...}.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>

#include "referee/board.h"
#include "referee/movegen.h"

namespace {

// A full move text from the log: row letter, column letter, six digits, orientation letter.
bool read_move(std::string_view text, move& m) {
  if (text.size() != 9 || text[0] < 'A' || text[0] > 'P' || text[1] < 'a' || text[1] > 't')
    return false;
  m.rij = text[0] - 64;
  m.kolom = text[1] - 96;
  std::memcpy(m.tekst, text.data() + 2, 7);
  m.tekst[7] = '\0';
  return true;
}

// The move text of a "Starting tile: MOVE" or "Round N player P: MOVE" line, else empty.
std::string_view move_text(std::string_view line, std::string_view kind) {
  std::size_t colon = line.find(": ");
  if (!line.starts_with(kind) || colon == std::string_view::npos) return {};
  return line.substr(colon + 2);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: legal_places LOG\n");
    return 2;
  }
  std::ifstream log(argv[1]);
  if (!log) {
    std::fprintf(stderr, "legal_places: cannot read %s\n", argv[1]);
    return 1;
  }
  situatie board;
  init(board);
  bool started = false;
  int number = 0;
  std::string line;
  std::printf("{");
  while (std::getline(log, line)) {
    move m{};
    if (!started && read_move(move_text(line, "Starting tile:"), m)) {
      plaats(board, m);
      started = true;
    } else if (started && read_move(move_text(line, "Round "), m)) {
      move places[MAXZETTEN];
      const char tile[7] = {m.tekst[0], m.tekst[1], m.tekst[2], m.tekst[3],
                            m.tekst[4], m.tekst[5], '\0'};
      int count = genereerzetten(board.bezet, places, tile);
      ++number;
      std::printf("%s\"%d\": [", number == 1 ? "" : ", ", number);
      for (int i = 0; i < count; ++i) {
        std::printf("%s\"%c%c%c\"", i == 0 ? "" : ",", 64 + places[i].rij, 96 + places[i].kolom,
                    places[i].tekst[6]);
      }
      std::printf("]");
      plaats(board, m);
    }
  }
  std::printf("}\n");
  return started ? 0 : 1;
}
