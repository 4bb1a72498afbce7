// The static site `zarvo-arena publish` makes of a tournament (or SPRT) directory, for the
// contestants: the standings and crosstable with the run's settings, a page per entrant (its
// games, results and rating), every replay page with the viewer files, and standings.json. It
// holds no error file, no game log, nobody's standard error and no path of the organiser's
// machine; every link is relative, so it works from file:// and behind any static web server.
// Each replay page has its turn record (thinking times, disqualifications, stand-in moves), each
// entrant's page the arena's explanation of every disqualification, and entries that did not
// build are listed with their build's result. A private folder per entrant, for the organiser to
// send to each alone, holds that entrant's own error files, its turn records with its own
// standard error, its notes in full and, for an entry that did not build, its build log.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "arena/series/game_record.h"
#include "arena/tournament/standings.h"

namespace arena::tournament {

struct PublishOptions {
  std::string title = "Zarvo tournament";
  std::vector<std::string> excluded;                 // withdrawn entrants, left out of the tables
  std::optional<std::filesystem::path> private_dir;  // where the entrants' folders go
};

struct PublishSummary {
  std::size_t games = 0;          // games listed
  std::size_t replays = 0;        // replay pages copied
  std::size_t turn_records = 0;   // their turn records, without standard error
  std::size_t private_files = 0;  // error files and build logs copied into the private folders
};

// Throws std::runtime_error when `dir` holds no game logs directory or a file cannot be
// written.
PublishSummary publish_site(const std::filesystem::path& dir, const std::filesystem::path& out,
                            const PublishOptions& options);

// Where an entrant's page lies in a site: "players/<name>.html" (a name is a player name, so
// it is safe in a path).
std::string player_file(const std::string& name);
// A line linking every entrant's page, in the order of the standings.
std::string entrants_html(const FieldStandings& field);
// The page of the entrant in `row` of `field`: its record and rating and each game of `games`
// it played, with a link to the replay page (relative to the site, reached from "players/").
std::string player_page(const std::string& title, const FieldStandings& field, std::size_t row,
                        const std::vector<series::GameRecord>& games);

}  // namespace arena::tournament
