// The files that sum up a tournament directory: results.csv (one row per game),
// standings.txt and index.html (the standings table, then every game with a
// link to its replay page). Both the tournament and `zarvo-arena standings`
// write them through write_reports, from the game logs alone, so that the same
// logs always give the same files.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "arena/tournament/game_record.h"
#include "arena/tournament/standings.h"

namespace arena::tournament {

// The standings as an aligned text table, with a heading line.
std::string standings_table(const std::vector<Standing>& standings);

std::string results_csv(const std::vector<GameRecord>& games);
std::string standings_txt(const LogScan& scan);
std::string index_html(const LogScan& scan);

// Writes the three files into `dir`, each replaced in one step so that a reader
// never sees half a file. Throws std::runtime_error when a file cannot be
// written.
void write_reports(const std::filesystem::path& dir, const LogScan& scan);

}  // namespace arena::tournament
