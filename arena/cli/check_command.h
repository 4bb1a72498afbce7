// `zarvo-arena check PLAYER...`: the check every player passes before it enters a field (see
// arena/entry/player_check.h), and the same check run by a tournament before its first game.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "arena/series/tournament_plan.h"

namespace arena::cli {

int run_check_command(std::span<const std::string> args);

// Checks every player of a field with the match options its games are played with (as a
// tournament forwards them), prints one line per player, on standard error a warning for each
// that passed but lost its check game later on and, when any failed, the list of those that did
// with their problems. True when all passed. Call it before
// any game is started. Each check game hides what the field's games do: the other entrants'
// directories and `run_dir`, the run's own directory.
bool check_field(const std::vector<series::TournamentPlayer>& players,
                 const std::vector<std::string>& match_options,
                 const std::filesystem::path& run_dir);

}  // namespace arena::cli
