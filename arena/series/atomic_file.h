// Replacing a file in one step, for the runs of many games: the one way lives in
// arena/system/atomic_file.h, below every layer that writes files.
#pragma once

#include "arena/system/atomic_file.h"

namespace arena::tournament {

using arena::replace_file;

}  // namespace arena::tournament
