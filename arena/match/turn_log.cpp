#include "arena/match/turn_log.h"

#include <sys/stat.h>

#include <algorithm>

namespace arena {

void TurnLog::ended(Clock::duration charged_total, Clock::duration left, bool answered) {
  Turn turn;
  turn.charged = std::chrono::round<Milliseconds>(charged_total - charged_before_);
  charged_before_ = charged_total;
  turn.left = std::chrono::round<Milliseconds>(std::max(left, Clock::duration::zero()));
  struct stat info {};
  if (::stat(stderr_file_.c_str(), &info) == 0)
    turn.stderr_end = static_cast<std::uintmax_t>(info.st_size);
  turn.answered = answered;
  turns_.push_back(turn);
}

}  // namespace arena
