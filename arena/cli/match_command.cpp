#include "arena/cli/match_command.h"

#include <functional>
#include <iostream>
#include <string_view>

#include "arena/cli/command_line.h"
#include "arena/cli/match_report.h"
#include "arena/match/limit_warnings.h"
#include "arena/match/match.h"
#include "arena/match/match_options.h"
#include "arena/match/sandbox_plan.h"
#include "arena/process/orphan_reaper.h"
#include "arena/process/pipe_writer.h"
#include "arena/process/shell_words.h"
#include "arena/process/stop_signals.h"
#include "arena/sandbox/host_support.h"

namespace arena::cli {
namespace {

MatchConfig parse(std::span<const std::string> args) {
  MatchConfig config;
  std::vector<std::string> positional;
  CommandLine line;
  add_match_options(line, config, false);
  line.positionals(positional);
  line.parse(args);
  if (positional.size() != 2) throw UsageError("give exactly two players, PLAYER1 and PLAYER2");
  for (int i = 0; i < 2; ++i) {
    try {
      config.players[i].command = split_shell_words(positional[i]);
    } catch (const std::invalid_argument& error) {
      throw UsageError("player " + std::to_string(i + 1) + ": " + error.what());
    }
    if (config.players[i].command.empty())
      throw UsageError("player " + std::to_string(i + 1) + " is empty");
  }
  return config;
}

}  // namespace

std::string match_usage() {
  return R"(usage: zarvo-arena match [options] PLAYER1 PLAYER2

Plays one game of Zarvo between two programs, refereed by zarvo-checker. PLAYER1 moves first.
Each player is one argument holding a command line, split into words as a shell splits it:
  zarvo-arena match build/bin/zarvo-greedy "build/bin/zarvo-random --seed 7"

Options (--option VALUE or --option=VALUE):
)" + match_options_help(false) +
         R"(
Prints one line: NAME1 vs NAME2: RESULT1 RESULT2 DESCRIPTION winner NAME log LOGPATH page PAGEPATH
(the referee's description as its log has it; the winner by the rule the standings use: a
disqualified player loses, its opponent wins, else the higher result; "-" for a draw or when
both were disqualified).
Exit status: 0 game played, 1 referee failed, 2 bad command line or set-up,
128+N stopped by signal N.
)";
}

int run_match_command(std::span<const std::string> args) {
  if (asks_for_help(args)) {
    std::cout << match_usage();
    return 0;
  }
  MatchConfig config;
  try {
    config = parse(args);
  } catch (const UsageError& error) {
    return usage_error("match", error.what());
  }

  // This process plays one game: it owns the process-wide state the game needs.
  ignore_broken_pipes();
  catch_stop_signals(OnStopSignal::kKillGroups);
  // Orphans come to the arena, which kills and reaps them after the game, whatever way it
  // ended: an unsandboxed player's background processes, and the process bubblewrap keeps
  // inside a sandbox, which outlives the bubblewrap the arena started when the sandbox is
  // killed whole. Without this they would be left to an ancestor that may never reap them.
  adopt_orphans();
  if (config.sandbox) {
    std::cerr << (config.quiet ? weak_limits_line(config) : weak_limit_warnings(config))
              << std::flush;
  }
  MatchResult result;
  try {
    result = play_match(config);
    kill_remaining_children();
  } catch (const MatchSetupError& error) {
    kill_remaining_children();
    if (auto status = stopped_by_signal("match")) return *status;
    std::cerr << "zarvo-arena match: " << error.what() << "\n";
    return 2;
  } catch (const std::exception& error) {
    kill_remaining_children();
    if (auto status = stopped_by_signal("match")) return *status;
    std::cerr << "zarvo-arena match: the game could not be run: " << error.what() << "\n";
    return 1;
  }

  return report_match(result, "match").status;
}

}  // namespace arena::cli
