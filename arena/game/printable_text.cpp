#include "arena/game/printable_text.h"

namespace arena {

std::string printable(std::string_view text, std::size_t width) {
  std::string out;
  for (char c : text.substr(0, width)) {
    unsigned char u = static_cast<unsigned char>(c);
    // A carriage return or a tab is named: "Ahh\r" tells the author of a CRLF line end at once.
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      out += u < 0x20 || u == 0x7f ? '?' : c;
    }
  }
  if (text.size() > width) out += "...";
  return out;
}

}  // namespace arena
