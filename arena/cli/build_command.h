// `zarvo-arena build ENTRY...`: builds entrants' sources, each in a sandbox, into entries that
// tournaments take as players (see arena/entry/).
#pragma once

#include <span>
#include <string>
#include <vector>

#include "arena/series/tournament_plan.h"

namespace arena::cli {

int run_build_command(std::span<const std::string> args);

// --entries DIR of tournament and sprt: adds every entry below `dir` whose build succeeded to
// `players`, says on standard error which entries are left out and why, and adds those to
// `not_built`, when given, for the run to record. Throws std::invalid_argument.
void add_entries(std::vector<series::TournamentPlayer>& players, const std::string& dir,
                 std::vector<series::NotBuiltEntry>* not_built = nullptr);

}  // namespace arena::cli
