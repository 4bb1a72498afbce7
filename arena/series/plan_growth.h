// Growing a tournament: the same command with a higher --games-per-pair or with players added
// anywhere in the list plays only the new games, the played ones staying as they are. Players
// are matched by name: the recorded ones keep their places (and so their games' numbers and tile
// scripts), the new ones follow them. Anything else that would change a played game (the
// format, the seed, the match options, a player's command, a built entry's sources, a player
// removed) is refused, naming what changed.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "arena/series/tournament_plan.h"

namespace arena::series {

struct PlanGrowth {
  bool grown = false;                     // `wanted` adds games to the recorded tournament
  std::optional<std::string> drawn_seed;  // the seed recorded with it, if one was drawn
};

// Compares the plan recorded in dir/tournament.txt with `wanted`, puts wanted.players in the
// recorded order (new players last, in the order given) and sets wanted.earlier_stages to the
// stages the tournament grows from. Nothing is done where no plan
// is recorded. Throws std::runtime_error naming what changed when `wanted` is no growth of it.
PlanGrowth grow_plan(const std::filesystem::path& dir, TournamentSettings& wanted);

}  // namespace arena::series
