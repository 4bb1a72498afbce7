#include "arena/human/person_view.h"

#include <algorithm>
#include <cstring>

#include "referee/movegen.h"
#include "referee/scoring.h"

namespace arena::human {
namespace {

bool is_colour_digit(char c) { return c >= '1' && c <= '6'; }

// Six colour digits: a drawn tile holds each once, but a tile script may give any.
bool is_tile(std::string_view text) {
  return text.size() == 6 && std::all_of(text.begin(), text.end(), is_colour_digit);
}

// Row letter, column letter, six colour digits, h or v, with the tile wholly on the board.
bool is_full_move(std::string_view text) {
  return text.size() == 9 && PersonView::well_formed(std::string{text[0], text[1], text[8]}) &&
         is_tile(text.substr(2, 6));
}

}  // namespace

PersonView::PersonView(int seat) : seat_(seat) { init(board_); }

bool PersonView::well_formed(std::string_view answer) {
  if (answer.size() != 3 || (answer[2] != 'h' && answer[2] != 'v')) return false;
  const bool horizontal = answer[2] == 'h';
  const int row = answer[0] - 'A' + 1;
  const int column = answer[1] - 'a' + 1;
  const int last_row = row + (horizontal ? 1 : 5);
  const int last_column = column + (horizontal ? 5 : 1);
  return row >= 1 && column >= 1 && last_row <= RIJEN && last_column <= KOLOMMEN;
}

void PersonView::received(std::string_view line) {
  ++lines_;
  if (lines_ == 1) {
    if (line.size() == 1 && is_colour_digit(line[0])) colours_[seat_ - 1] = line[0] - '0';
  } else if (line == "Quit") {
    quit_ = true;
    tile_.clear();
    legal_.clear();
  } else if (is_tile(line)) {
    tile_ = line;
    move zetten[MAXZETTEN];
    const int count = genereerzetten(board_.bezet, zetten, tile_.c_str());
    legal_.clear();
    for (int i = 0; i < count; ++i) {
      legal_.push_back({static_cast<char>('A' + zetten[i].rij - 1),
                        static_cast<char>('a' + zetten[i].kolom - 1), zetten[i].tekst[6]});
    }
  } else if (is_full_move(line)) {
    lay(line);
  }
}

bool PersonView::is_legal(std::string_view answer) const {
  return std::find(legal_.begin(), legal_.end(), answer) != legal_.end();
}

void PersonView::place(std::string_view answer) {
  lay(std::string{answer[0], answer[1]} + tile_ + answer[2]);
  tile_.clear();
  legal_.clear();
}

void PersonView::lay(std::string_view full_move) {
  move laid{};
  laid.rij = full_move[0] - 'A' + 1;
  laid.kolom = full_move[1] - 'a' + 1;
  std::memcpy(laid.tekst, full_move.data() + 2, 7);
  plaats(board_, laid);
  moves_.emplace_back(full_move);
}

std::array<std::optional<int>, 2> PersonView::points() const {
  std::array<std::optional<int>, 2> points;
  for (int i = 0; i < 2; ++i) {
    if (colours_[i] != 0) points[i] = telpunten(board_.bord, colours_[i]);
  }
  return points;
}

std::optional<std::array<int, 2>> logged_colours(std::string_view log_head) {
  constexpr std::string_view kLine = "\nColours: ";
  auto at = log_head.find(kLine);
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view rest = log_head.substr(at + kLine.size());
  if (rest.size() < 4 || !is_colour_digit(rest[0]) || rest.substr(1, 2) != ", " ||
      !is_colour_digit(rest[3])) {
    return std::nullopt;
  }
  return std::array<int, 2>{rest[0] - '0', rest[3] - '0'};
}

}  // namespace arena::human
