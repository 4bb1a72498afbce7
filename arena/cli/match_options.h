// The options of one game, in one table: `match` reads all of them into its MatchConfig, and a
// tournament checks the ones it hands to every game and forwards them to each `zarvo-arena
// match` it runs. The --help texts of both commands are written from the same table.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "arena/cli/option_values.h"
#include "arena/match/match.h"

namespace arena {

struct MatchOption {
  std::string_view name;   // "--time-limit"
  std::string_view label;  // as --help shows it, "--time-limit TIME"; empty: shown with another
  std::string_view help;   // what it does, with its default
  // Set by a tournament for each game itself (names, working directories, output directory,
  // id, tile script), so not one of the options it hands to every game.
  bool per_game = false;
  bool path = false;  // a path: a tournament forwards it made absolute
  // Checks the value and sets it; throws std::invalid_argument.
  void (*apply)(MatchConfig& config, const std::string& value) = nullptr;
  bool flag = false;  // takes no value (`apply` gets "")
};

std::span<const MatchOption> match_options();

// The options section of --help: every option, or only those a tournament hands to its games.
std::string match_options_help(bool forwarded_only);

// Setters for parse_options() that read every match option into `config`.
OptionSetters match_option_setters(MatchConfig& config);

// Setters for parse_options() that check each option a tournament hands to its games and append
// it to `forwarded` as "--name" "value", paths made absolute.
OptionSetters forwarded_option_setters(std::vector<std::string>& forwarded);

}  // namespace arena
