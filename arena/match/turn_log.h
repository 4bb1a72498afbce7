// One player's turns over a game as the arena saw them, for the record the replay page shows:
// for every time the player was awaited, the thinking time charged for it, what was left of its
// budget after it, and how far its standard error file had grown by then, so that the lines it
// wrote during each turn can be told apart after the game.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "arena/system/deadline.h"

namespace arena {

struct Turn {
  Milliseconds charged{};         // thinking time charged for this turn
  Milliseconds left{};            // what it had left for the rest of the game after this turn
  std::uintmax_t stderr_end = 0;  // the size of its standard error file when the turn ended
  bool answered = false;          // it wrote a line (else it timed out, crashed or left)
};

class TurnLog {
 public:
  explicit TurnLog(std::filesystem::path stderr_file) : stderr_file_(std::move(stderr_file)) {}

  // A turn ended; `charged_total` is the player's thinking time charged so far, `left` what its
  // budget holds for the rest of the game (under --clock cpu: of its CPU time).
  void ended(Clock::duration charged_total, Clock::duration left, bool answered);

  const std::vector<Turn>& turns() const { return turns_; }

 private:
  std::filesystem::path stderr_file_;
  Clock::duration charged_before_{};
  std::vector<Turn> turns_;
};

}  // namespace arena
