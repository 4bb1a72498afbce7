// The tags the arena sends the referee in place of a player's answer. The referee looks only at
// a tag's first character ('<') and at the character at index 17, which selects its meaning.
#pragma once

#include <string>

namespace arena {

enum class Tag : char {
  kEmptyAnswer = 'e',  // the player's line held no word
  kTimeOut = 'i',      // the player used up its time
  kCrashed = 'r',      // ended by a signal or with a non-zero status
  kExited = 't',       // exited with status 0, or closed its output, before answering
};

inline std::string tag_text(Tag tag) {
  std::string text = "<zarvo-arena-tag-?>";  // index 17 is the '?'
  text[17] = static_cast<char>(tag);
  return text;
}

}  // namespace arena
