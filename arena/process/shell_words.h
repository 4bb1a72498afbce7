// Splitting a player's command string into program and arguments the way a POSIX shell splits
// words: blanks separate words; '...' keeps everything literally; "..." keeps everything but
// lets a backslash escape '"', '\', '$' and '`'; outside quotes a backslash keeps the next
// character. There is no expansion of variables, globs or '~'.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace arena {

// Throws std::invalid_argument for an unterminated quote or a trailing backslash.
std::vector<std::string> split_shell_words(std::string_view text);

// `word` as a POSIX shell reads it back (and split_shell_words too): unchanged when it holds
// only safe characters, otherwise in single quotes.
std::string shell_quote(std::string_view word);

// Whether `text` holds a control character (a byte below 0x20, or 0x7f). No quoting keeps such a
// word on one line of a shell script, nor on one line of a file read line by line.
bool has_control_character(std::string_view text);

}  // namespace arena
