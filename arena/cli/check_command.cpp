#include "arena/cli/check_command.h"

#include <iostream>

#include "arena/cli/command_line.h"
#include "arena/entry/player_check.h"
#include "arena/match/match_options.h"
#include "arena/process/orphan_reaper.h"
#include "arena/process/pipe_writer.h"
#include "arena/process/program_path.h"
#include "arena/process/shell_words.h"
#include "arena/process/stop_signals.h"

namespace arena::cli {
namespace fs = std::filesystem;

namespace {

std::string check_usage() {
  return R"(usage: zarvo-arena check [options] PLAYER...

Checks each player before it enters a field: its command is resolved as a game resolves it, the
user of its seat must be able to read what it needs (when the arena runs as root), and it plays
one game in its sandbox, as player 1, against a sample bot. One line per player: ok, with the
time of its first answer and its peak memory (where a memory control group counts it), or the
problem: not found, not readable, cannot start, crashed at start (with the end of its standard
error), no first answer within the time limit, illegal first move, ... Only what keeps a player
from playing fails it: a player that loses its check game later on (it crashes, runs out of
time or moves illegally after a legal first answer) passes, with a warning naming what it did
and the end of its standard error, as losing a game is a result like any other. Exit status 1
when any player failed (a warning alone leaves it 0), 2 for a bad command line.

Players, as tournament takes them:
  [NAME=]COMMAND            a command line, split like a shell does
  DIR                       a built entry (zarvo-arena build DIR), named after the directory

Options (--option VALUE or --option=VALUE):
  --opponent PROGRAM        the sample bot played against (zarvo-random beside zarvo-arena)

The options of the games (see zarvo-arena match --help):
)" + match_options_help(true);
}

std::string megabytes(long long kb) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(kb) / 1024.0);
  return text;
}

void print_outcome(const entry::CheckOutcome& outcome) {
  if (outcome.ok()) {
    std::cout << "ok      " << outcome.name << "  first answer "
              << (outcome.first_answer ? std::to_string(outcome.first_answer->count()) + " ms"
                                       : std::string("-"))
              << ", peak memory "
              << (outcome.peak_memory_kb ? megabytes(*outcome.peak_memory_kb)
                                         : std::string("not counted here"))
              << "\n";
    if (!outcome.warning.empty()) {
      std::cout << "    warning: in its check game it " << outcome.warning << "\n";
      for (const std::string& line : outcome.stderr_tail) std::cout << "    | " << line << "\n";
    }
  } else {
    std::cout << "FAILED  " << outcome.name << "  " << outcome.problem << "\n";
    for (const std::string& line : outcome.stderr_tail) std::cout << "    | " << line << "\n";
  }
  std::cout << std::flush;
}

// The game options of a check of `field`: every entrant's directories hidden from each check
// game, as the field's own games hide them.
MatchConfig hiding_the_field(MatchConfig config,
                             const std::vector<series::TournamentPlayer>& field) {
  std::vector<std::vector<std::string>> commands;
  for (const series::TournamentPlayer& player : field)
    commands.push_back(split_shell_words(player.command));
  for (fs::path& dir : entry::field_dirs(commands, config.sandbox))
    config.entrant_dirs.push_back(std::move(dir));
  return config;
}

struct FieldCheck {
  std::vector<std::string> failed;    // "NAME: PROBLEM" of each player refused
  std::vector<std::string> warnings;  // "NAME: admitted, but ..." of each that lost later on
};

// Checks every player.
FieldCheck check_all(const std::vector<series::TournamentPlayer>& players,
                     const MatchConfig& config, const fs::path& opponent) {
  FieldCheck check;
  for (const series::TournamentPlayer& player : players) {
    if (stop_signal_received()) break;
    entry::CheckOutcome outcome =
        entry::check_player(player.name, split_shell_words(player.command), config, opponent);
    print_outcome(outcome);
    if (!outcome.ok()) check.failed.push_back(player.name + ": " + outcome.problem);
    if (!outcome.warning.empty()) {
      check.warnings.push_back(player.name + ": admitted, but in its check game it " +
                               outcome.warning);
    }
  }
  return check;
}

fs::path default_opponent() { return own_directory() / "zarvo-random"; }

}  // namespace

bool check_field(const std::vector<series::TournamentPlayer>& players,
                 const std::vector<std::string>& match_options, const fs::path& run_dir) {
  MatchConfig config;
  CommandLine line;
  add_match_options(line, config, true);
  line.parse(match_options);
  // A check game writes elsewhere, so the run's directory, which each game of the run hides as
  // its own, is hidden as the entrants' directories are.
  config.entrant_dirs.push_back(fs::absolute(run_dir));
  ignore_broken_pipes();
  std::cout << "checking " << players.size() << " players (--no-check skips this)" << std::endl;
  const auto [failed, warnings] =
      check_all(players, hiding_the_field(config, players), default_opponent());
  for (const std::string& warning : warnings) std::cerr << warning << "\n";
  std::cerr << std::flush;
  if (failed.empty()) return true;
  std::cerr << failed.size() << (failed.size() == 1 ? " player fails" : " players fail")
            << " the check, so the tournament does not start:\n";
  for (const std::string& why : failed) std::cerr << "  " << why << "\n";
  std::cerr << std::flush;
  return false;
}

int run_check_command(std::span<const std::string> args) {
  if (asks_for_help(args)) {
    std::cout << check_usage();
    return 0;
  }
  MatchConfig config;
  fs::path opponent;
  std::vector<std::string> given;
  try {
    CommandLine line;
    add_match_options(line, config, true);
    line.option("--opponent", [&](const std::string& v) { opponent = v; });
    line.positionals(given);
    line.parse(args);
    if (given.empty()) throw std::invalid_argument("give at least one player");
    if (opponent.empty()) opponent = default_opponent();
  } catch (const std::exception& error) {
    return usage_error("check", error.what());
  }
  ignore_broken_pipes();
  catch_stop_signals(OnStopSignal::kKillGroups);
  adopt_orphans();
  // A player that cannot even be read as one (an entry whose build failed) fails its check.
  std::vector<series::TournamentPlayer> field;
  std::vector<std::string> unreadable(given.size());  // why, for each player that is
  for (std::size_t i = 0; i < given.size(); ++i) {
    try {
      field.push_back(series::parse_player(given[i]));
    } catch (const std::exception& error) {
      unreadable[i] = error.what();
    }
  }
  config = hiding_the_field(std::move(config), field);
  bool all_passed = true;
  auto next = field.begin();
  for (std::size_t i = 0; i < given.size(); ++i) {
    if (!unreadable[i].empty()) {
      entry::CheckOutcome outcome;
      outcome.name = given[i];
      outcome.problem = unreadable[i];
      print_outcome(outcome);
      all_passed = false;
    } else if (!check_all({*next++}, config, opponent).failed.empty()) {
      all_passed = false;
    }
  }
  if (int sig = stop_signal_received()) return 128 + sig;
  return all_passed ? 0 : 1;
}

}  // namespace arena::cli
