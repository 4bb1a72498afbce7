// A scratch directory of the arena's in the temporary directory, removed with its contents when
// the object goes: a build's output and a check game's files live there, outside anything a
// player or a build can reach. Its name starts with the prefix no sandbox shows.
#pragma once

#include <filesystem>
#include <string_view>

namespace arena::entry {

class ScratchDir {
 public:
  // Throws std::system_error when it cannot be made.
  explicit ScratchDir(std::string_view purpose);
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  ~ScratchDir();

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace arena::entry
