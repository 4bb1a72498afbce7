// The static site `zarvo-arena publish` makes of a tournament (or SPRT) directory, for the
// contestants: the standings and crosstable with the run's settings, a page per entrant (its
// games, results and rating), every replay page with the viewer files, and standings.json. It
// holds no error file, no game log and no path of the organiser's machine; every link is
// relative, so it works from file:// and behind any static web server. A private folder per
// entrant, for the organiser to send to each alone, holds that entrant's own error files.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace arena::tournament {

struct PublishOptions {
  std::string title = "Zarvo tournament";
  std::vector<std::string> excluded;                 // withdrawn entrants, left out of the tables
  std::optional<std::filesystem::path> private_dir;  // where the entrants' folders go
};

struct PublishSummary {
  std::size_t games = 0;          // games listed
  std::size_t replays = 0;        // replay pages copied
  std::size_t private_files = 0;  // error files copied into the private folders
};

// Throws std::runtime_error when `dir` holds no game logs directory or a file cannot be
// written.
PublishSummary publish_site(const std::filesystem::path& dir, const std::filesystem::path& out,
                            const PublishOptions& options);

}  // namespace arena::tournament
