#include "arena/entry/player_check.h"

#include <cstdlib>
#include <system_error>

#include "arena/entry/scratch_dir.h"
#include "arena/game/game_outcome.h"
#include "arena/match/disqualification_notes.h"
#include "arena/match/entrant_dirs.h"
#include "arena/match/player_command.h"
#include "arena/match/sandbox_plan.h"
#include "arena/process/orphan_reaper.h"
#include "arena/sandbox/host_support.h"
#include "arena/sandbox/sandbox_policy.h"

namespace arena::entry {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kTailLines = 8;
constexpr std::size_t kTailWidth = 200;

// The one place a check resolves a player's command: as a game does, a bare program name looked
// up in the sandbox's PATH when the player is sandboxed.
PlayerCommand resolve_command(const std::vector<std::string>& command, bool sandboxed) {
  return resolve_player(command, sandboxed ? ProgramLookup::kSandbox : ProgramLookup::kArena);
}

// Whether the player's sandbox can be made as a game makes it (its files shown to the seat's
// user, private directories included): the problem, or nothing.
std::optional<std::string> sandbox_problem(const MatchConfig& game, const PlayerCommand& entry) {
  std::optional<fs::path> script;
  if (entry.script) script = entry.arguments.at(*entry.script);
  try {
    seat_policy(game, 1, entry.program, entry.arguments, PlayerWorkdir(entry, {}).path(), script);
  } catch (const MatchSetupError& error) {
    const bool unreadable = error.kind == MatchSetupError::Kind::kUnreadableFile;
    return (unreadable ? "not readable: " : "cannot start: ") + std::string(error.what());
  }
  return std::nullopt;
}
std::string seconds_text(Clock::duration duration) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", std::chrono::duration<double>(duration).count());
  return text;
}

// How the checked player (player 1) lost the game by disqualification: `late` when it lost
// after a legal first answer, which keeps it from no game. Empty text when it was not.
struct Disqualification {
  std::string text;
  bool late = false;
};

Disqualification disqualification(const MatchResult& result, const MatchConfig& game) {
  const PlayerRecord& player = result.players[0];
  const std::string reason = result_texts(result.description)[0];
  int move = 0;
  std::string message;
  for (const LoggedDisqualification& entry : read_disqualifications(result.log)) {
    if (entry.player == 1) {
      move = entry.move;
      message = entry.message;
    }
  }
  const bool answered = player.first_answer.has_value();
  const std::string in_move = " in move " + std::to_string(move);
  if (reason == "CRASH") {
    if (player.memory_killed) {
      return {"killed by the memory limit of " + std::to_string(memory_limit_mb(game)) + " MB" +
                  (answered ? in_move : " at start"),
              answered};
    }
    return {answered ? "crashed" + in_move : "crashed at start", answered};
  }
  if (reason == "TIMEOUT") {
    if (answered) return {"ran out of time" + in_move, true};
    std::string text =
        "no first answer within the time limit of " + seconds_text(game.time_limit) + " s";
    if (player.unfinished_output && player.unfinished_output->empty()) {
      text +=
          " (it wrote nothing: an answer left in an output buffer is the usual cause; "
          "flush after every line)";
    }
    return {text, false};
  }
  if (reason == "ILLEGAL") {
    const bool first = move <= 1 || !answered;
    return {(first ? "illegal first move" : "illegal move" + in_move) + ": " + message, !first};
  }
  if (reason == "EXIT") {
    return {answered ? "exited" + in_move : "exited before its first answer", answered};
  }
  return {};
}

}  // namespace

std::vector<fs::path> field_dirs(const std::vector<std::vector<std::string>>& commands,
                                 bool sandboxed) {
  std::vector<fs::path> dirs;
  for (const std::vector<std::string>& command : commands) {
    try {
      const PlayerCommand entry = resolve_command(command, sandboxed);
      for (fs::path& dir : entrant_dirs(entry, entry.workdir)) dirs.push_back(std::move(dir));
    } catch (const std::exception&) {
      // Its own check names the problem.
    }
  }
  return dirs;
}

CheckOutcome check_player(const std::string& name, const std::vector<std::string>& command,
                          MatchConfig game, const fs::path& opponent) {
  CheckOutcome outcome;
  outcome.name = name;
  if (command.empty()) {
    outcome.problem = "not found: no command";
    return outcome;
  }
  PlayerCommand entry;
  try {
    entry = resolve_command(command, game.sandbox);
  } catch (const std::exception& error) {
    outcome.problem = std::string("not found: ") + error.what();
    return outcome;
  }
  if (game.sandbox) {
    if (auto problem = sandbox_problem(game, entry)) {
      outcome.problem = *problem;
      return outcome;
    }
  }
  try {
    ScratchDir scratch("check");
    game.players[0] = PlayerConfig{command, name, {}};
    game.players[1] = PlayerConfig{{opponent.string()}, "sample_bot", {}};
    game.out_dir = scratch.path();
    game.tiles.clear();
    game.game_id = "check";
    MatchResult result;
    try {
      result = play_match(game);
      kill_remaining_children();
    } catch (...) {
      kill_remaining_children();
      throw;
    }
    const PlayerRecord& player = result.players[0];
    outcome.first_answer = player.first_answer;
    outcome.peak_memory_kb = player.peak_kib;
    if (!result.completed()) {
      outcome.problem = "the check game could not be played: " + result.failure;
    } else if (Disqualification lost = disqualification(result, game); lost.late) {
      outcome.warning = lost.text;
    } else {
      outcome.problem = lost.text;
    }
    if (!outcome.ok() || !outcome.warning.empty())
      outcome.stderr_tail = last_lines(player.stderr_file, kTailLines, kTailWidth);
  } catch (const MatchSetupError& error) {
    outcome.problem = std::string("cannot start: ") + error.what();
  } catch (const std::exception& error) {
    outcome.problem = std::string("the check game could not be played: ") + error.what();
  }
  return outcome;
}

}  // namespace arena::entry
