#include "ladder/archive/member_name.h"

#include "ladder/archive/entry_archive.h"

namespace ladder::archive {

namespace {

constexpr std::size_t kMaxName = 1024;
constexpr std::size_t kMaxComponent = 255;

bool is_control(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

}  // namespace

std::string printable_name(std::string_view name) {
  std::string shown(name.substr(0, 200));
  for (char& c : shown) {
    if (is_control(c)) c = '?';
  }
  return shown;
}

std::vector<std::string> member_components(std::string_view name) {
  const auto refuse = [&](std::string_view why) {
    throw Refusal("the archive member \"" + printable_name(name) + "\" " + std::string(why));
  };
  if (name.empty()) refuse("has an empty name");
  if (name.size() > kMaxName) refuse("has a name longer than 1024 characters");
  for (char c : name) {
    if (is_control(c)) refuse("has a control character in its name");
  }
  if (name.front() == '/') refuse("has an absolute name");
  std::vector<std::string> components;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find('/', start);
    if (end == std::string_view::npos) end = name.size();
    const std::string_view part = name.substr(start, end - start);
    if (part == "..") refuse("climbs out of the entry with \"..\"");
    if (part.size() > kMaxComponent) refuse("has a name part longer than 255 characters");
    if (!part.empty() && part != ".") components.emplace_back(part);
    start = end + 1;
  }
  return components;
}

}  // namespace ladder::archive
