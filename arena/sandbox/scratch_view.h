// A look into a sandbox's working directory from outside, kept after the sandbox has ended: the
// files a player writes there live in a scratch area that vanishes with its sandbox. The view
// holds that scratch area open, by a descriptor taken while the player's program waits to start
// (before any code of the player's has run, so nothing the player does can change where it
// points), so that after the game the arena can name the files the player wrote and, when
// asked, copy them out. Everything in it is the player's: every name is opened below that
// descriptor without following links or crossing mounts, only regular files are ever opened,
// and every walk and copy is bounded.
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
  bool regular = true;    // else a link, a pipe, ...: named, never opened
  bool link = false;      // a symbolic link, named as one
  bool left_out = false;  // a regular file that copy() did not keep: it would pass the cap
};

struct WrittenFiles {
  std::vector<WrittenFile> files;
  bool more = false;  // there were more than could be listed
};

class ScratchView {
 public:
  // Opens the working directory `workdir` as the sandbox whose bwrap is `bwrap_pid` sees it;
  // nothing when that cannot be done (the sandbox is gone, /proc refuses). Called while the
  // player's program is held at its start (ChildProcess::wait_started).
  static std::optional<ScratchView> open(pid_t bwrap_pid, const std::filesystem::path& workdir);

  // What the player added to its working directory: entries that are not in the real
  // directory, and what lies below them, at most `limit` of them.
  WrittenFiles written(std::size_t limit) const;

  // Copies the regular files of `files` into `into` (made), whole files only and at most
  // `byte_limit` in all, a file counted by its length (a sparse one too); marks those left out.
  // The copies are the arena's user's and private to it: directories of mode 0700, files of
  // mode 0600. Returns the number of bytes copied.
  std::uintmax_t copy(WrittenFiles& files, const std::filesystem::path& into,
                      std::uintmax_t byte_limit) const;

 private:
  ScratchView(UniqueFd dir, std::filesystem::path workdir)
      : dir_(std::move(dir)), workdir_(std::move(workdir)) {}

  UniqueFd dir_;
  std::filesystem::path workdir_;
};

}  // namespace arena::sandbox
