#include "arena/series/run_start.h"

#include <optional>

namespace arena::series {

JobFactory start_run(const TournamentSettings& settings, const std::filesystem::path& dir,
                     std::string_view plan_file, const std::string& plan, const PlanCheck& check) {
  std::optional<std::string> drawn_seed;
  if (!settings.seed) drawn_seed = check.drawn_seed ? *check.drawn_seed : draw_seed();
  JobFactory factory(settings, dir, settings.seed ? *settings.seed : *drawn_seed);
  if (!check.recorded || (drawn_seed && !check.drawn_seed)) {
    record_plan(dir, plan_file, plan, drawn_seed);
  }
  return factory;
}

}  // namespace arena::series
