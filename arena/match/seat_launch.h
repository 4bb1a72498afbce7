// How the player of one seat is to be started, from its command and the game's options, by the
// one rule every way of starting a player follows (a game of `match`, a replay of one seat):
// its program and script found (player_command.h), its name, its working directory, its limits
// and its sandbox's policy (sandbox_plan.h). Nothing is started here.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "arena/match/match.h"
#include "arena/match/player.h"
#include "arena/match/player_command.h"

namespace arena {

struct SeatLaunch {
  PlayerLaunch launch;  // its stderr_file, transcript and seat are the caller's to set
  std::string name;
  std::optional<PlayerWorkdir> workdir;         // where it runs, held while it does
  std::vector<std::filesystem::path> own_dirs;  // its entrant directories (entrant_dirs.h)
};

// Seat 1 or 2 of `config`, running as `user` when a root arena sandboxes it. Throws
// MatchSetupError naming the seat and the cause when the player cannot be started so.
SeatLaunch plan_seat(const MatchConfig& config, int seat,
                     const std::optional<sandbox::Identity>& user);

// Under the CPU clock, the thinking time a player may take over the game.
Clock::duration wall_limit(const MatchConfig& config);

// `f()`, with what it throws turned into a MatchSetupError that begins with `what`.
template <typename F>
auto or_setup_error(std::string_view what, F&& f) {
  try {
    return f();
  } catch (const std::exception& error) {
    throw MatchSetupError(std::string(what) + error.what());
  }
}

}  // namespace arena
