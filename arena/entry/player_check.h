// The check a player passes before it enters a field: its command is resolved as a game
// resolves it, the seat's user must be able to read what it needs, and it plays one game in its
// sandbox, as player 1, against a sample bot. A player is refused only for what keeps it from
// playing at all: it cannot start, or its first answer is missing, late or illegal. Losing later
// in the game (a crash, a timeout, an illegal move) is a result a game may have; such a player
// passes with a warning. The outcome carries the time of its first answer and the most memory it
// held.
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
  std::string warning;  // how a player that passed lost its check game later on, if it did
  std::optional<Milliseconds> first_answer;
  std::optional<long long> peak_memory_kb;
  std::vector<std::string> stderr_tail;  // the end of its standard error, when it failed or lost

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
