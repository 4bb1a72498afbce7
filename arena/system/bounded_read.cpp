#include "arena/system/bounded_read.h"

#include <algorithm>
#include <fstream>

namespace arena {
namespace {

std::string read_part(const std::filesystem::path& file, std::size_t limit, bool tail) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return {};
  std::size_t start = 0;
  if (tail) {
    in.seekg(0, std::ios::end);
    auto size = static_cast<std::size_t>(std::max<std::streamoff>(in.tellg(), 0));
    start = size > limit ? size - limit : 0;
    in.seekg(static_cast<std::streamoff>(start));
  }
  std::string text(limit, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  return text;
}

}  // namespace

std::string read_head(const std::filesystem::path& file, std::size_t limit) {
  return read_part(file, limit, false);
}

std::string read_tail(const std::filesystem::path& file, std::size_t limit) {
  return read_part(file, limit, true);
}

std::string_view take_line(std::string_view& text) {
  const auto newline = text.find('\n');
  const std::string_view line = text.substr(0, newline);
  text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
  return line;
}

}  // namespace arena
