// The arena's own scratch directory for a build or a check: a build's output and a check game's
// files live there, outside anything a player or a build can reach, since its name starts with
// the prefix no sandbox shows.
#pragma once

#include <string>
#include <string_view>

#include "arena/sandbox/sandbox_policy.h"
#include "arena/system/scratch_dir.h"

namespace arena::entry {

class ScratchDir : public arena::ScratchDir {
 public:
  // "zarvo-arena.<purpose>.XXXXXX". Throws std::system_error when it cannot be made.
  explicit ScratchDir(std::string_view purpose)
      : arena::ScratchDir(std::string(sandbox::kScratchDirPrefix) + std::string(purpose) + ".") {}
};

}  // namespace arena::entry
