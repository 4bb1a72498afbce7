#include "arena/process/program_path.h"

#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <system_error>

namespace arena {
namespace fs = std::filesystem;

namespace {

bool is_executable_file(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

fs::path own_directory() {
  std::error_code error;
  fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (error) throw std::runtime_error("cannot find the arena's own directory: " + error.message());
  return self.parent_path();
}

fs::path find_program(std::string_view word) {
  const char* search = std::getenv("PATH");
  return find_program(word, search ? search : "/usr/local/bin:/usr/bin:/bin");
}

fs::path find_program(std::string_view word, std::string_view search_path) {
  if (word.empty()) throw std::runtime_error("empty program name");
  if (word.find('/') != std::string_view::npos) {
    fs::path path = fs::absolute(fs::path(word)).lexically_normal();
    if (!fs::exists(path)) throw std::runtime_error(std::string(word) + ": no such file");
    if (!is_executable_file(path))
      throw std::runtime_error(std::string(word) + ": not an executable file");
    return path;
  }
  if (std::optional<fs::path> found = look_up_program(word, search_path)) return *found;
  throw std::runtime_error(std::string(word) + ": not found in " + std::string(search_path));
}

std::optional<fs::path> look_up_program(std::string_view name, std::string_view search_path) {
  std::string_view dirs = search_path;
  while (true) {
    auto colon = dirs.find(':');
    std::string_view dir = dirs.substr(0, colon);
    fs::path candidate = fs::absolute(fs::path(dir.empty() ? "." : dir) / name);
    if (is_executable_file(candidate)) return candidate.lexically_normal();
    if (colon == std::string_view::npos) return std::nullopt;
    dirs.remove_prefix(colon + 1);
  }
}

}  // namespace arena
