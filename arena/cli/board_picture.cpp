#include "arena/cli/board_picture.h"

#include <unistd.h>

#include <array>
#include <cstdlib>
#include <string_view>

namespace arena::cli {
namespace {

// The background of colours 1 to 6: red, green, yellow, blue, magenta, cyan.
constexpr std::array<std::string_view, 7> kBackground = {
    "", "\x1b[41m", "\x1b[42m", "\x1b[43m", "\x1b[44m", "\x1b[45m", "\x1b[46m"};
constexpr std::string_view kMarked = "\x1b[1;4m";
constexpr std::string_view kBlackText = "\x1b[30m";
constexpr std::string_view kReset = "\x1b[0m";

using Marks = std::array<std::array<bool, BORDKOLOMMEN>, BORDRIJEN>;

Marks cells_of(const std::string& text) {
  Marks marks{};
  if (text.size() != 9) return marks;
  const int row = text[0] - 'A' + 1;
  const int column = text[1] - 'a' + 1;
  const bool across = text[8] == 'h';
  for (int r = 0; r < (across ? 2 : 6); ++r) {
    for (int c = 0; c < (across ? 6 : 2); ++c) {
      if (row + r < BORDRIJEN && column + c < BORDKOLOMMEN) marks[row + r][column + c] = true;
    }
  }
  return marks;
}

std::string cell(int colour, bool marked, bool colour_on) {
  const char digit = colour == 0 ? '.' : static_cast<char>('0' + colour);
  if (!colour_on) return marked ? std::string{'[', digit, ']'} : std::string{' ', digit, ' '};
  if (colour == 0) return std::string(" . ");
  std::string text(kBackground[colour]);
  text += kBlackText;
  if (marked) text += kMarked;
  return text + ' ' + digit + ' ' + std::string(kReset);
}

}  // namespace

bool stdout_takes_colour() {
  const char* term = std::getenv("TERM");
  return ::isatty(STDOUT_FILENO) && term && std::string_view(term) != "dumb" &&
         std::getenv("NO_COLOR") == nullptr;
}

std::string colour_swatch(int colour, bool colour_on) {
  if (!colour_on) return std::to_string(colour);
  return cell(colour, false, colour_on);
}

std::string board_picture(const situatie& board, const std::string& marked, bool colour) {
  const Marks marks = cells_of(marked);
  std::string picture = "  ";
  for (int column = 1; column <= KOLOMMEN; ++column) {
    picture += ' ';
    picture += static_cast<char>('a' + column - 1);
    picture += ' ';
  }
  picture += '\n';
  for (int row = 1; row <= RIJEN; ++row) {
    picture += static_cast<char>('A' + row - 1);
    picture += ' ';
    for (int column = 1; column <= KOLOMMEN; ++column) {
      picture += cell(board.bord[row][column], marks[row][column], colour);
    }
    picture += '\n';
  }
  return picture;
}

}  // namespace arena::cli
