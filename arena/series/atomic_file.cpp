#include "arena/series/atomic_file.h"

#include <fstream>
#include <stdexcept>
#include <system_error>

namespace arena::tournament {

void replace_file(const std::filesystem::path& path, std::string_view content) {
  std::filesystem::path temporary = path;
  temporary += ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.flush();
    if (!out) throw std::runtime_error("cannot write " + temporary.string());
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) throw std::runtime_error("cannot replace " + path.string() + ": " + error.message());
}

}  // namespace arena::tournament
