// One seat of a logged game played again by a bot program, for its author to find where it goes
// its own way: the bot is started as a player of `match` is (its sandbox, its working directory),
// is sent every line the seat received in the game (seat_input.h), and each of its answers is
// set beside the one the game recorded. The bot's answers have no game clock: a debugger may
// hold it, up to kLongestAnswer for each.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "arena/game/seat_input.h"
#include "arena/match/match.h"

namespace arena {

inline constexpr auto kLongestAnswer = std::chrono::hours(24);

struct SeatReplayConfig {
  // players[seat - 1] is the bot; the sandbox options hold as for a game. Its time options are
  // not used.
  MatchConfig match;
  int seat = 1;
  // Stop after this move, leaving the bot running with its input open.
  std::optional<int> until;
  std::filesystem::path hidden_dir;   // kept from the bot's sight: the game's log directory
  std::filesystem::path stderr_file;  // receives the bot's standard error
};

struct ReplayedAnswer {
  int move = 0;
  std::string recorded;  // the game's answer
  std::string lost;      // "TIMEOUT", "CRASH", "EXIT": in the game the seat gave no answer
  std::optional<std::string> given;  // the bot's line, none when it stopped instead
  std::string stopped;               // then how: "crashed", "exited", ...
  bool matches = false;
};

struct SeatReplayResult {
  int answers = 0;  // compared
  std::optional<int> first_difference;
  bool bot_stopped = false;  // before the end: no later answer was compared
  bool held = false;         // it was left waiting after --until
};

struct SeatReplayHooks {
  std::function<void(const ReplayedAnswer&)> answered;
  // After --until's move, before the wait for the bot to end; gets the process started.
  std::function<void(pid_t)> holding;
};

// Throws MatchSetupError when the bot cannot be started.
SeatReplayResult replay_seat(const SeatReplayConfig& config, const std::vector<SeatEvent>& events,
                             const SeatReplayHooks& hooks);

}  // namespace arena
