// A game's transcript (--transcript): every line each player received and sent, with the time
// since the game started, like a chess tester's debug log. One file beside the log,
// "<game>.transcript.txt"; every line is written at once, so a game that hangs still shows how
// far it came. Lines are cut to a bounded width and the file to a bounded size.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>

#include "arena/system/deadline.h"

namespace arena {

class Transcript {
 public:
  // Throws std::system_error when the file cannot be made.
  explicit Transcript(const std::filesystem::path& file);

  // Each line is stamped `when`, the moment the player's clock saw it happen, so that the
  // transcript's times and the thinking time charged tell the same story.
  void received(int seat, std::string_view line, TimePoint when) { write(seat, "<", line, when); }
  void sent(int seat, std::string_view line, TimePoint when) { write(seat, ">", line, when); }
  // What became of a player that wrote no line (time-out, crash, ...).
  void event(int seat, std::string_view what, TimePoint when) { write(seat, "!", what, when); }

 private:
  void write(int seat, std::string_view direction, std::string_view text, TimePoint when);

  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
  TimePoint start_;
  std::size_t written_ = 0;
  bool cut_ = false;
};

}  // namespace arena
