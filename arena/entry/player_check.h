// The check a player passes before it enters a field: its command is resolved as a game
// resolves it, the seat's user must be able to read what it needs, and it plays one game in its
// sandbox, as player 1, against a sample bot. The outcome is ok or the precise problem, with the
// time of its first answer and the most memory it held.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "arena/match/match.h"

namespace arena::entry {

struct CheckOutcome {
  std::string name;
  std::string problem;  // empty: the player passed
  std::optional<Milliseconds> first_answer;
  std::optional<long long> peak_memory_kb;
  std::vector<std::string> stderr_tail;  // the end of its standard error, for a failed player

  bool ok() const { return problem.empty(); }
};

// The directories of a field's entrants (see entrant_dirs.h): the check of each entrant hides
// them (MatchConfig::entrant_dirs) as the field's games do. A command that cannot be resolved
// adds none; its own check fails.
std::vector<std::filesystem::path> field_dirs(const std::vector<std::vector<std::string>>& commands,
                                              bool sandboxed);

// Checks the player `name` playing `command`. `game` holds the options its games are played
// with (time and memory limits, sandbox, environment, ...); its players and output directory
// are set here, and its files are thrown away afterwards. `opponent` is the sample bot's program.
// Call it where no other child of this process is running: it kills every child left afterwards.
CheckOutcome check_player(const std::string& name, const std::vector<std::string>& command,
                          MatchConfig game, const std::filesystem::path& opponent);

}  // namespace arena::entry
