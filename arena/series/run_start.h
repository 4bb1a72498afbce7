// Starting a run of games in its directory: the tile seed (the command's own, or one drawn at
// random once and kept with the plan, so that a rerun plays the same tile scripts) and the
// plan, recorded when the directory does not hold it yet.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "arena/series/match_jobs.h"
#include "arena/series/plan_file.h"
#include "arena/series/tournament_plan.h"

namespace arena::series {

// The maker of the run's match commands, on the seed of `settings` or else the drawn one that
// `check` found recorded, or else a new one; dir/plan_file is then (re)written with `plan`
// unless it holds it already with its seed. Throws std::runtime_error as JobFactory and
// record_plan do; nothing is recorded when the factory cannot be made.
JobFactory start_run(const TournamentSettings& settings, const std::filesystem::path& dir,
                     std::string_view plan_file, const std::string& plan, const PlanCheck& check);

}  // namespace arena::series
