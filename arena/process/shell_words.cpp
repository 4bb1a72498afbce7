#include "arena/process/shell_words.h"

#include <algorithm>

namespace arena {

std::vector<std::string> split_shell_words(std::string_view text) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == ' ' || c == '\t' || c == '\n') {
      if (in_word) words.push_back(std::move(word));
      word.clear();
      in_word = false;
      continue;
    }
    in_word = true;
    if (c == '\'') {
      auto close = text.find('\'', i + 1);
      if (close == std::string_view::npos)
        throw std::invalid_argument("unterminated ' in: " + std::string(text));
      word.append(text.substr(i + 1, close - i - 1));
      i = close;
    } else if (c == '"') {
      for (++i;; ++i) {
        if (i >= text.size())
          throw std::invalid_argument("unterminated \" in: " + std::string(text));
        if (text[i] == '"') break;
        if (text[i] == '\\' && i + 1 < text.size() &&
            std::string_view("\"\\$`").find(text[i + 1]) != std::string_view::npos) {
          ++i;
        }
        word += text[i];
      }
    } else if (c == '\\') {
      if (++i >= text.size()) throw std::invalid_argument("trailing \\ in: " + std::string(text));
      word += text[i];
    } else {
      word += c;
    }
  }
  if (in_word) words.push_back(std::move(word));
  return words;
}

std::string shell_quote(std::string_view word) {
  bool safe = !word.empty();
  for (char c : word) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 std::string_view("_@%+=:,./-").find(c) != std::string_view::npos;
    safe = safe && plain;
  }
  if (safe) return std::string(word);
  std::string quoted = "'";
  for (char c : word) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

bool has_control_character(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7f;
  });
}

}  // namespace arena
