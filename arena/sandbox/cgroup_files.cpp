#include "arena/sandbox/cgroup_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>

#include "arena/sandbox/sandbox_policy.h"

namespace arena::sandbox {
namespace fs = std::filesystem;

std::string errno_text() { return std::strerror(errno); }

void write_control(const fs::path& file, std::string_view text) {
  UniqueFd fd(::open(file.c_str(), O_WRONLY | O_CLOEXEC));
  if (!fd || ::write(fd.get(), text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
    throw SandboxError("cannot write \"" + std::string(text) + "\" to " + file.string() + ": " +
                       errno_text());
  }
}

UniqueFd open_control(const fs::path& file, int flags) {
  return UniqueFd(::open(file.c_str(), flags | O_CLOEXEC));
}

std::string read_control(int fd) {
  char buffer[4096];
  ssize_t got = ::pread(fd, buffer, sizeof buffer, 0);
  return got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string();
}

std::string read_text(const fs::path& file) {
  std::ifstream in(file);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::optional<long long> keyed_value(std::string_view text, std::string_view key) {
  std::istringstream lines{std::string(text)};
  for (std::string name, value; lines >> name >> value;) {
    if (name != key) continue;
    long long number = 0;
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (error == std::errc()) return number;
  }
  return std::nullopt;
}

}  // namespace arena::sandbox
