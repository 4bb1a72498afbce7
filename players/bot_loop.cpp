#include "players/bot_loop.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "referee/movegen.h"

namespace {

// A full move text, "Gb256143h", as a move record.
move parse_move(const std::string& text) {
  move m{};
  m.rij = text[0] - 'A' + 1;
  m.kolom = text[1] - 'a' + 1;
  std::memcpy(m.tekst, text.data() + 2, 7);
  m.tekst[7] = '\0';
  return m;
}

bool is_tile(const std::string& line) {
  return line.size() == 6 && line.find_first_not_of("123456") == std::string::npos;
}

}  // namespace

std::string answer_text(const move& m) {
  return {static_cast<char>('A' + m.rij - 1), static_cast<char>('a' + m.kolom - 1), m.tekst[6]};
}

int follow_game(const AnswerTile& answer) {
  BotView view;
  init(view.board);
  static move moves[MAXZETTEN];
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "Quit") return 0;
    if (line == "Start") continue;
    if (view.colour == 0) {  // the first line is our colour
      view.colour = std::atoi(line.c_str());
    } else if (line.size() == 9) {  // the start move or the opponent's move
      move m = parse_move(line);
      plaats(view.board, m);
    } else if (is_tile(line)) {
      int count = genereerzetten(view.board.bezet, moves, line.c_str());
      if (count == 0) return 0;  // cannot happen: the referee only sends playable tiles
      if (!answer(view, moves, count)) return 0;
    } else {
      std::cerr << "unexpected line: " << line << std::endl;
    }
  }
  return 0;
}

int play_game(const ChooseMove& choose) {
  return follow_game([&](BotView& view, const move* moves, int count) {
    move chosen = choose(view, moves, count);
    // The answer must reach the referee at once: flush every line.
    std::printf("%s\n", answer_text(chosen).c_str());
    std::fflush(stdout);
    plaats(view.board, chosen);
    return true;
  });
}
