// What the tournament shows while it runs. On a terminal: a progress bar (games
// done of the total, elapsed time, estimated time left) above the standings so
// far, redrawn in place. Into a file or pipe: one plain line per game.
#pragma once

#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "arena/tournament/standings.h"

namespace arena::tournament {

class ProgressDisplay {
 public:
  // `done` games of `total` were finished before this run; the estimate uses
  // only this run's.
  ProgressDisplay(std::ostream& out, bool terminal, int total, int done);

  // `field`: the standings with the game counted.
  void game_finished(const FieldStandings& field, const std::string& line);
  void game_failed(const std::string& line);
  // A line printed above the picture, kept on the terminal (a disqualification's note).
  void note(const std::string& line) { game_failed(line); }
  void tick();
  void close();  // leaves the last picture on the terminal

 private:
  void redraw();
  std::string progress_line() const;

  std::ostream& out_;
  bool terminal_;
  int total_;
  int done_;
  int done_at_start_;
  std::chrono::steady_clock::time_point start_;
  std::string standings_;
  int drawn_lines_ = 0;
};

}  // namespace arena::tournament
