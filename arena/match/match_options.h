// The options of one game, in one table: `match` reads all of them into its MatchConfig, a
// tournament checks the ones it hands to every game and forwards them to each `zarvo-arena
// match` it runs, and a run's plan file is read back by it. The --help texts of the commands
// are written from the same table. It knows nothing of how a command line is split.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "arena/match/match.h"

namespace arena {

// The most processes and threads --process-limit allows, for a player's tree as for a build's.
inline constexpr long long kMaxProcessLimit = 100000;

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

// The option named `name` ("--ponder"), or nullptr.
const MatchOption* find_match_option(std::string_view name);

// The options section of --help: every option, or only those a tournament hands to its games.
std::string match_options_help(bool forwarded_only);

// Checks `value` of an option a tournament hands to its games and appends it to `forwarded` as
// "--name" "value" ("--name" alone for a flag), a path made absolute. Throws
// std::invalid_argument.
void forward_match_option(const MatchOption& option, const std::string& value,
                          std::vector<std::string>& forwarded);

}  // namespace arena
