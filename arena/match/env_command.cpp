#include "arena/match/env_command.h"

#include <array>
#include <iterator>
#include <stdexcept>

#include "arena/game/printable_text.h"
#include "arena/process/shell_words.h"

namespace arena {

namespace {

[[noreturn]] void refuse(std::string_view what) {
  throw std::runtime_error("env " + printable(what, 100) +
                           " is not understood here; write the player's command without it");
}

// The words an -S string stands for, when they are the same by the shell's rules and by env's.
std::vector<std::string> split_string_words(const std::string& text) {
  if (text.find_first_of("\\$#") != std::string::npos)
    refuse("-S with '\\', '$' or '#' in its string");
  try {
    return split_shell_words(text);
  } catch (const std::invalid_argument& error) {
    refuse(std::string("-S with ") + error.what());
  }
}

// Replaces words[first, last) by `replacement`.
void splice(std::vector<std::string>& words, std::size_t first, std::size_t last,
            std::vector<std::string> replacement) {
  auto begin = words.begin() + static_cast<std::ptrdiff_t>(first);
  words.erase(begin, words.begin() + static_cast<std::ptrdiff_t>(last));
  words.insert(words.begin() + static_cast<std::ptrdiff_t>(first),
               std::make_move_iterator(replacement.begin()),
               std::make_move_iterator(replacement.end()));
}

// The value of the option at `i` that ends its word (`-uNAME`, `--unset=NAME`) or is the next
// word; `*next` becomes the index after it.
std::string option_value(const std::vector<std::string>& words, std::size_t i,
                         std::string_view rest, std::string_view option, std::size_t* next) {
  if (!rest.empty()) {
    *next = i + 1;
    return std::string(rest);
  }
  if (i + 1 >= words.size()) refuse(std::string(option) + " without its value");
  *next = i + 2;
  return words[i + 1];
}

// Reads the long option at `i`; returns the index of the next word (after an -S string's
// splice, the first of its words).
std::size_t long_option(std::vector<std::string>& words, std::size_t i) {
  const std::string word = words[i];
  const std::size_t equals = word.find('=');
  const std::string name = word.substr(0, equals);
  const bool has_value = equals != std::string::npos;
  static constexpr std::array<std::string_view, 3> kFlags = {"--ignore-environment", "--debug",
                                                             "--list-signal-handling"};
  static constexpr std::array<std::string_view, 3> kSignals = {"--default-signal",
                                                               "--ignore-signal", "--block-signal"};
  for (std::string_view flag : kFlags) {
    if (name == flag && !has_value) return i + 1;
  }
  for (std::string_view signals : kSignals) {
    if (name == signals) return i + 1;
  }
  std::string_view rest = has_value ? std::string_view(word).substr(equals + 1) : "";
  std::size_t next = i + 1;
  if (name == "--unset") {
    if (has_value && rest.empty()) refuse("--unset= without a name");
    option_value(words, i, rest, name, &next);
    return next;
  }
  if (name == "--split-string") {
    const std::string text =
        has_value ? std::string(rest) : option_value(words, i, "", name, &next);
    splice(words, i, next, split_string_words(text));
    return i;
  }
  refuse(name);
}

// Reads the short options run together in the word at `i` (`-iv`, `-iuNAME`, `-S'node x.js'`);
// returns the index of the next word.
std::size_t short_options(std::vector<std::string>& words, std::size_t i) {
  const std::string word = words[i];
  for (std::size_t j = 1; j < word.size(); ++j) {
    const char option = word[j];
    if (option == 'i' || option == 'v') continue;
    const std::string_view rest = std::string_view(word).substr(j + 1);
    std::size_t next = i + 1;
    if (option == 'u') {
      option_value(words, i, rest, "-u", &next);
      return next;
    }
    if (option == 'S') {
      const std::string text = option_value(words, i, rest, "-S", &next);
      std::vector<std::string> replacement;
      // The options before S in the same word stay, as flags of their own.
      if (j > 1) replacement.push_back(word.substr(0, j));
      for (std::string& split : split_string_words(text)) replacement.push_back(std::move(split));
      splice(words, i, next, std::move(replacement));
      return j > 1 ? i + 1 : i;
    }
    if (option == '0') refuse("-0, which starts no program,");
    if (option == 'C') refuse("-C (a change of directory: the player runs beside its files)");
    refuse(std::string("-") + option);
  }
  return i + 1;
}

}  // namespace

bool is_env(std::string_view file_name) { return file_name == "env"; }

std::size_t program_after_env(std::vector<std::string>& words, std::size_t at) {
  std::size_t i = at + 1;
  // Options come first; env reads no option after the first word that is none.
  while (i < words.size() && words[i].starts_with("-")) {
    if (words[i] == "--") {
      ++i;
      break;
    }
    if (words[i] == "-") {
      ++i;
    } else if (words[i].starts_with("--")) {
      if (words[i] == "--help" || words[i] == "--version") refuse(words[i]);
      i = long_option(words, i);
    } else {
      i = short_options(words, i);
    }
  }
  while (i < words.size() && words[i].find('=') != std::string::npos) ++i;
  if (i >= words.size()) throw std::runtime_error("env is given no program to run");
  if (words[i].empty() || words[i].starts_with("-")) {
    throw std::runtime_error("env would run \"" + printable(words[i], 100) +
                             "\" as its program; write the player's command without it");
  }
  return i;
}

}  // namespace arena
