// The files that sum up a tournament directory: results.csv (one row per game),
// standings.txt (standings, then the crosstable) and index.html (standings, crosstable, then
// the games with links to their replay pages). While a tournament plays, standings.txt and
// index.html are rewritten after every game, and the page reloads itself; the files written
// once the run ends, and those of `zarvo-arena standings`, are built from the game logs alone,
// so that the same logs always give the same files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "arena/series/game_record.h"
#include "arena/series/not_built.h"
#include "arena/tournament/standings.h"

namespace arena::tournament {

// How often a live page reloads itself, in seconds.
inline constexpr int kReloadSeconds = 5;
// How many of the latest games a live page lists; the whole list is written when the run ends.
inline constexpr std::size_t kLiveGames = 100;

struct TournamentReport {
  FieldStandings field;
  std::size_t finished = 0;               // finished games, all counted in `field`
  std::vector<series::GameRecord> games;  // the games listed: all, ordered by number, or (live) the
                                          // latest, most recent first
  std::vector<std::filesystem::path> unfinished;  // logs without a result (not known live)
  std::optional<std::size_t> planned;             // the games the tournament plans, when known
  bool live = false;  // the tournament is playing and rewrites the files after every game
  std::vector<series::NotBuiltEntry> not_built;  // entries left out, their build failed
};

// The report of every game in `scan`.
TournamentReport report_of(const series::LogScan& scan, std::optional<std::size_t> planned = {});
// The report of every game in `scan` of the run in `dir`, with the entries it left out.
TournamentReport report_of(const std::filesystem::path& dir, const series::LogScan& scan,
                           std::optional<std::size_t> planned = {});

// The standings as an aligned text table with a heading line; at most `max_rows` rows.
std::string standings_table(const FieldStandings& field, std::size_t max_rows = SIZE_MAX);
// Points of each player against each other, as an aligned text table.
std::string crosstable(const FieldStandings& field);

// How a page is made: the organiser's own (links to logs and error files) or a published one.
struct PageOptions {
  std::string title = "Zarvo tournament";
  std::string head_html;              // HTML shown under the title (the run's settings)
  bool for_contestants = false;       // no links to logs or error files
  std::filesystem::path link_prefix;  // put before a replay page's path
};

std::string results_csv(const std::vector<series::GameRecord>& games);
std::string standings_txt(const TournamentReport& report);
std::string index_html(const TournamentReport& report, const PageOptions& options);
std::string standings_txt(const series::LogScan& scan);
std::string index_html(const series::LogScan& scan);

// Writes standings.txt, standings.json and index.html into `dir`, each replaced in one step so that
// a reader never sees half a file. Throws std::runtime_error when a file cannot be written.
void write_summary(const std::filesystem::path& dir, const TournamentReport& report);
// The summary and results.csv; `report` must list every game.
void write_reports(const std::filesystem::path& dir, const TournamentReport& report);
void write_reports(const std::filesystem::path& dir, const series::LogScan& scan);

}  // namespace arena::tournament
