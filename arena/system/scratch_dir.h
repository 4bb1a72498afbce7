// A scratch directory in the temporary directory (TMPDIR, else /tmp), removed with its contents
// when the object goes.
#pragma once

#include <filesystem>
#include <string_view>

namespace arena {

class ScratchDir {
 public:
  // Makes a fresh directory named `prefix` and six random characters. Throws std::system_error
  // when it cannot be made.
  explicit ScratchDir(std::string_view prefix);
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  ~ScratchDir();

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace arena
