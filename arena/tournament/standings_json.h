// standings.json: every figure of standings.txt (the standings, the crosstable), the games with
// their winner, outcome and what each player used, and the run's settings, for programs to read.
// Written beside standings.txt, whenever it is.
#pragma once

#include <optional>
#include <string>

#include "arena/series/run_settings.h"
#include "arena/tournament/tournament_reports.h"

namespace arena::tournament {

// The JSON text; a figure that is not a finite number (the LOS of the last player) is null.
std::string standings_json(const TournamentReport& report,
                           const std::optional<series::RunSettings>& settings);

}  // namespace arena::tournament
