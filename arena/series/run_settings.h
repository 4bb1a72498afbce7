// The settings of a run of many games (a tournament or an SPRT test) as its directory's plan
// file keeps them, read back for the pages and files that show them: the format, games per pair,
// the seed, the players' names and the match options that set the time control and the players'
// limits. Only what a contestant may see is kept: the players' commands and the options naming
// files of the organiser's machine are left out.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace arena::series {

struct RunSettings {
  std::string kind;                   // "tournament" or "sprt"
  std::string format;                 // "round-robin", "gauntlet"; empty for sprt
  std::optional<int> games_per_pair;  // tournaments
  std::optional<std::size_t> games;   // planned games, where the plan says
  std::string seed;                   // the given seed, or the drawn one
  bool seed_drawn = false;            // drawn at random and kept in the directory
  std::vector<std::string> players;   // names, in the order given
  // The time control and the players' limits, as option name (without "--") and value.
  std::vector<std::pair<std::string, std::string>> limits;
};

// The settings of the run in `dir`, or nothing when it holds no plan file.
std::optional<RunSettings> read_run_settings(const std::filesystem::path& dir);

// "time-limit 5, clock wall, ..." for a line of text.
std::string limits_text(const RunSettings& settings);

}  // namespace arena::series
