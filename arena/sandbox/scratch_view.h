// A look into a running sandbox's working directory from outside, kept after the sandbox has
// ended: the files a player writes there live in a scratch area that vanishes with its sandbox.
// The view holds that scratch area open (a descriptor of it, taken through /proc while the
// sandbox runs), so that after the game the arena can name the files the player wrote and, when
// asked, copy them out. Everything in it is the player's: nothing is followed, every walk and
// copy is bounded.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "arena/system/unique_fd.h"

namespace arena::sandbox {

struct WrittenFile {
  std::string path;  // relative to the working directory
  std::uintmax_t size = 0;
  bool regular = true;  // else a link, a pipe, ...: named, never copied
};

struct WrittenFiles {
  std::vector<WrittenFile> files;
  bool more = false;  // there were more than could be listed
};

class ScratchView {
 public:
  // Opens the working directory `workdir` as the sandbox whose bwrap is `bwrap_pid` sees it;
  // nothing when that cannot be done (the sandbox is gone, /proc refuses).
  static std::optional<ScratchView> open(pid_t bwrap_pid, const std::filesystem::path& workdir);

  // What the player added to its working directory: entries that are not in the real
  // directory, and what lies below them, at most `limit` of them.
  WrittenFiles written(std::size_t limit) const;

  // Copies the regular files of `files` into `into` (made), at most `byte_limit` in all;
  // returns the number of bytes copied.
  std::uintmax_t copy(const WrittenFiles& files, const std::filesystem::path& into,
                      std::uintmax_t byte_limit) const;

 private:
  ScratchView(UniqueFd dir, std::filesystem::path workdir)
      : dir_(std::move(dir)), workdir_(std::move(workdir)) {}

  UniqueFd dir_;
  std::filesystem::path workdir_;
};

}  // namespace arena::sandbox
