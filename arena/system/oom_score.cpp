#include "arena/system/oom_score.h"

#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <string>

#include "arena/system/unique_fd.h"

namespace arena {

namespace {
constexpr const char* kFile = "/proc/self/oom_score_adj";
}

bool set_own_oom_score_adj(int value) {
  UniqueFd file(::open(kFile, O_WRONLY | O_CLOEXEC));
  if (!file) return false;
  const std::string text = std::to_string(value);
  return ::write(file.get(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

int own_oom_score_adj() {
  UniqueFd file(::open(kFile, O_RDONLY | O_CLOEXEC));
  char text[16] = {};
  ssize_t size = file ? ::read(file.get(), text, sizeof text - 1) : -1;
  int value = 0;
  if (size > 0) std::from_chars(text, text + size, value);
  return value;
}

}  // namespace arena
