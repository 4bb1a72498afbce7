// The scratch area a root arena builds an entry in: a tmpfs of its own, mounted nowhere on the
// host, so that no other user of the machine ever sees what a build leaves there. The arena
// fills it and reads it back through its descriptor; the build's sandbox shows it, writable, as
// the build's working directory (see PrivateDirs::stage_tree). Its size bounds everything the
// build writes together; it is nosuid and nodev, and goes with the last descriptor of it.
#pragma once

#include <cstddef>

#include "arena/sandbox/sandbox_policy.h"
#include "arena/system/unique_fd.h"

namespace arena::sandbox {

class ScratchMount {
 public:
  // `size_mb` of room and at most `max_files` files, its top directory of mode 700 and owned
  // by `owner`. Throws SandboxError when the kernel cannot make it (it takes root).
  ScratchMount(std::size_t size_mb, std::size_t max_files, const Identity& owner);

  // The top directory, opened; also the detached mount to attach.
  int fd() const { return mount_.get(); }
  // Whether no room is left: a build that filled it may have lost what it wrote last.
  bool full() const;

 private:
  UniqueFd mount_;
};

}  // namespace arena::sandbox
