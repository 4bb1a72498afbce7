#include "arena/system/scratch_dir.h"

#include <stdlib.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace arena {

ScratchDir::ScratchDir(std::string_view prefix) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp && *tmp ? tmp : "/tmp") + "/" + std::string(prefix) + "XXXXXX";
  if (!::mkdtemp(pattern.data())) {
    throw std::system_error(errno, std::generic_category(), "cannot make " + pattern);
  }
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace arena
