#include "arena/cli/match_command.h"

#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string_view>

#include "arena/cli/command_line.h"
#include "arena/game/game_files.h"
#include "arena/game/game_outcome.h"
#include "arena/game/game_usage.h"
#include "arena/match/disqualification_notes.h"
#include "arena/match/limit_warnings.h"
#include "arena/match/match.h"
#include "arena/match/match_options.h"
#include "arena/match/sandbox_plan.h"
#include "arena/match/written_files_notes.h"
#include "arena/process/orphan_reaper.h"
#include "arena/process/pipe_writer.h"
#include "arena/process/shell_words.h"
#include "arena/process/stop_signals.h"
#include "arena/sandbox/host_support.h"
#include "arena/system/bounded_read.h"

namespace arena::cli {
namespace {

// The last part of the referee's standard error, for the report of a failed game.
std::string tail_of(const std::filesystem::path& file, std::size_t limit = 4096) {
  std::string text = read_tail(file, limit + 1);
  if (text.size() > limit) text = "..." + text.substr(1);
  return text;
}

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

// Each side of a played game, with the move of a disqualification as the log gives it.
std::array<SideResult, 2> match_sides(const MatchResult& result) {
  std::array<std::string, 2> texts = result_texts(result.description);
  std::array<SideResult, 2> sides;
  for (int i = 0; i < 2; ++i) {
    sides[i] = {result.players[i].name, result.players[i].result, texts[i], std::nullopt};
  }
  for (const LoggedDisqualification& entry : read_disqualifications(result.log)) {
    if ((entry.player == 1 || entry.player == 2) && !sides[entry.player - 1].out_in_move)
      sides[entry.player - 1].out_in_move = entry.move;
  }
  return sides;
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
    std::cerr << "zarvo-arena match: " << error.what() << "\n";
    return 2;
  } catch (const std::exception& error) {
    kill_remaining_children();
    std::cerr << "zarvo-arena match: the game could not be run: " << error.what() << "\n";
    return 1;
  }

  if (result.shared_name) {
    std::cerr << "zarvo-arena match: both players are named " << *result.shared_name
              << ", so they play as " << result.players[0].name << " and " << result.players[1].name
              << " (--name1 and --name2 name them otherwise)\n"
              << std::flush;
  }
  if (int sig = stop_signal_received()) {
    std::cerr << "zarvo-arena match: game " << result.game_id << " stopped by signal " << sig
              << "\n";
    return 128 + sig;
  }
  if (!result.completed()) {
    std::cerr << "zarvo-arena match: game " << result.game_id << ": " << result.failure << "\n"
              << "referee's standard error (" << result.referee_stderr.string() << "):\n"
              << tail_of(result.referee_stderr);
    // The referee reports its own set-up errors in the game log.
    if (std::filesystem::exists(result.log)) {
      std::cerr << "end of the game log (" << result.log.string() << "):\n"
                << tail_of(result.log, 1024);
    }
    std::cerr << std::flush;
    return 1;
  }
  // Why a player lost by disqualification, where a person sees it; the result line stays alone
  // on standard output for scripts.
  std::cerr << disqualification_notes(result) << written_files_notes(result) << std::flush;
  const auto& [one, two] = result.players;
  std::array<SideResult, 2> sides = match_sides(result);
  GameOutcome outcome = game_outcome(sides);
  if (is_disqualification(sides[0].text) || is_disqualification(sides[1].text)) {
    std::cerr << "zarvo-arena match: " << outcome.story(sides) << "\n" << std::flush;
  }
  // What each player used, for a tournament to read back beside the log.
  if (auto files = GameFiles::from_log(result.log)) {
    try {
      write_game_usage(files->usage(),
                       {PlayerUsage{one.cpu.count(), one.peak_kib, one.charged.count()},
                        PlayerUsage{two.cpu.count(), two.peak_kib, two.charged.count()}});
    } catch (const std::exception& error) {
      std::cerr << "zarvo-arena match: " << error.what() << "\n";
      return 1;
    }
  }
  std::cout << one.name << " vs " << two.name << ": " << one.result << " " << two.result << " "
            << result.description << " winner "
            << (outcome.winner ? result.players[outcome.winner - 1].name : std::string("-"))
            << " log " << result.log.string() << " page " << result.page.string() << std::endl;
  return 0;
}

}  // namespace arena::cli
