// One player program during a game: it is started in a process group of its own, receives the
// lines the referee addresses to it, is charged for the time it takes to answer, and is
// stopped at the end. Everything the referee asks about a player is answered here.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "arena/child_process.h"
#include "arena/line_reader.h"
#include "arena/player_clock.h"
#include "arena/unique_fd.h"

namespace arena {

struct PlayerLaunch {
  std::filesystem::path program;
  std::vector<std::string> args;  // argv, args[0] included
  std::filesystem::path workdir;
  std::filesystem::path stderr_file;
  Clock::duration time_limit{};
  std::size_t memory_limit_mb = 0;
  std::size_t file_limit_mb = 0;
};

class Player {
 public:
  explicit Player(const PlayerLaunch& launch);

  // Passes one line on (the newline is added). A player that has stopped reading or has gone
  // loses the line; it can never hold up the game.
  void send(std::string_view text);

  // The reply to "I listen": the first word of the player's next line, or a tag when the line
  // holds no word, the time ran out, or the player crashed or exited. Nothing when
  // `game_deadline` passes first, while the player still has time: the game has run too long.
  std::optional<std::string> answer(TimePoint game_deadline);

  // The reply to "I request_time": "time REAL USED" in milliseconds.
  std::string time_report() const;
  Milliseconds charged() const { return clock_.charged_ms(); }
  Milliseconds cpu_time() const { return process_->cpu_time(); }

  // Closes the player's input; returns at once.
  void close_input() { input_.reset(); }
  // Waits until the player has ended or `deadline` passes, then kills its group and reaps it.
  void stop(TimePoint deadline);

 private:
  std::string classify_end(TimePoint now);

  UniqueFd input_;
  std::optional<LineReader> output_;
  std::optional<ChildProcess> process_;
  PlayerClock clock_;
  std::optional<std::string> gone_;  // the tag sent once the player stopped playing
};

// The word the referee is given for an answer line, or nothing when the line holds no word.
// Only the first word is passed on, at most 1023 bytes, the length the referee reads: a later
// word or the tail of a long one would be read by the referee as the arena's next reply. A
// first character '<' becomes '?', so no answer can pass for a tag.
std::optional<std::string> answer_word(std::string_view line);

}  // namespace arena
