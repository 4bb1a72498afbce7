#include "arena/cli/replay_command.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <optional>
#include <sstream>
#include <vector>

#include "arena/cli/command_line.h"
#include "arena/game/game_board.h"
#include "arena/game/printable_text.h"
#include "arena/game/seat_input.h"
#include "arena/match/option_values.h"
#include "arena/match/seat_replay.h"
#include "arena/process/orphan_reaper.h"
#include "arena/process/pipe_writer.h"
#include "arena/process/shell_words.h"
#include "arena/process/stop_signals.h"
#include "arena/system/bounded_read.h"
#include "arena/system/scratch_dir.h"

namespace arena::cli {
namespace fs = std::filesystem;

namespace {

const char* const kReplayUsage =
    R"(usage: zarvo-arena replay LOG --seat N [options] -- COMMAND...
       zarvo-arena replay LOG --seat N [options] "COMMAND LINE"
       zarvo-arena replay LOG --seat N [--until MOVE] --print

Plays seat N (1 moved first) of the game whose referee's log is LOG (as `match` writes it
under refereelogs/) again with the bot COMMAND: it is sent every line the seat received in the
game, in order, and each answer it gives is printed beside the answer the game recorded; the
first that differs is marked. COMMAND is started as a player of `match` is: in a sandbox, in
the directory of its program or script. Its answers have no time limit (a debugger may hold
it), up to 24 hours each; its standard error goes to the terminal.
  zarvo-arena replay out/refereelogs/mybot-zarvo_random.g1.log --seat 1 -- ./mybot

Options:
  --seat N        the seat to play again: 1 or 2
  --until MOVE    stop after move MOVE (moves count both players'), leaving the bot running
                  with its input open for a debugger to attach (gdb -p PID with --no-sandbox);
                  it waits up to 24 hours, until the bot ends or Ctrl-C ends it
  --print         only write the lines the seat received, one a line, to standard output
                  (up to --until's move), and start nothing: to feed a bot under a debugger,
                    zarvo-arena replay LOG --seat 1 --print > input.txt
                    gdb --args ./mybot      then at gdb's prompt: run < input.txt
  --no-sandbox    run COMMAND as a plain process, as a debugger needs

Exit status: 0 every answer matched, 1 one differed (or the bot stopped answering),
2 bad command line or a log that cannot be read, 128+N stopped by signal N.
)";

// How much of a bot's line is shown: an answer is three characters.
constexpr std::size_t kShownAnswer = 40;

struct ReplayRequest {
  fs::path log;
  int seat = 0;
  std::optional<int> until;
  bool print = false;
  bool sandbox = true;
  std::vector<std::string> command;
};

ReplayRequest parse(std::span<const std::string> args) {
  ReplayRequest request;
  auto dashes = std::find(args.begin(), args.end(), "--");
  std::vector<std::string> positional;
  CommandLine line;
  line.option("--seat", [&](const std::string& v) { request.seat = int(parse_whole(v, 1, 2)); });
  line.option("--until",
              [&](const std::string& v) { request.until = int(parse_whole(v, 1, 100000)); });
  line.flag("--print", [&] { request.print = true; });
  line.flag("--no-sandbox", [&] { request.sandbox = false; });
  line.positionals(positional);
  line.parse(std::span<const std::string>(args.begin(), dashes));
  if (request.seat == 0) throw UsageError("give the seat to play again: --seat 1 or --seat 2");
  if (positional.empty()) throw UsageError("give the game's log");
  request.log = positional[0];
  if (dashes != args.end()) {
    if (positional.size() > 1) throw UsageError("give the command after \"--\" only");
    request.command.assign(dashes + 1, args.end());
  } else if (positional.size() == 2) {
    try {
      request.command = split_shell_words(positional[1]);
    } catch (const std::invalid_argument& error) {
      throw UsageError(std::string("the command: ") + error.what());
    }
  } else if (positional.size() > 2) {
    throw UsageError("give the command as one word, or its words after \"--\"");
  }
  if (request.print && !request.command.empty())
    throw UsageError("--print starts no command: give none");
  if (!request.print && request.command.empty()) throw UsageError("give the bot's command");
  return request;
}

void print_lines(const std::vector<SeatEvent>& events, std::optional<int> until) {
  for (const SeatEvent& event : events) {
    if (until && event.move > *until) break;
    if (event.kind == SeatEvent::Kind::kLine) std::cout << event.text << "\n";
  }
  std::cout << std::flush;
}

std::string recorded_text(const ReplayedAnswer& answer) {
  if (!answer.lost.empty()) return "no answer (" + answer.lost + ")";
  return answer.recorded.empty() ? "\"\"" : answer.recorded;
}

void print_answer(const ReplayedAnswer& answer, bool first_difference) {
  std::ostringstream line;
  line << "move " << std::setw(3) << answer.move << "  recorded " << std::left << std::setw(5)
       << recorded_text(answer) << "  answered "
       << (answer.given ? printable(*answer.given, kShownAnswer)
                        : "nothing: the bot " + answer.stopped);
  if (first_difference) line << "   <-- first difference";
  std::cout << line.str() << std::endl;
}

// Where the bot's standard error goes: the arena's own when that is a terminal or a pipe; a
// regular file is written at its own offset by each writer, so then a file that is copied to it
// afterwards.
bool stderr_is_stream() {
  struct stat info {};
  return ::fstat(STDERR_FILENO, &info) == 0 && !S_ISREG(info.st_mode);
}

void holding_note(pid_t pid, bool sandboxed, int move) {
  std::cerr << "zarvo-arena replay: stopped after move " << move
            << "; the bot waits for its next line with its input open, up to 24 hours, "
            << "until it ends or Ctrl-C ends it. ";
  if (sandboxed) {
    std::cerr << "It runs in a sandbox (process " << pid
              << " is its bubblewrap): --no-sandbox lets a debugger attach.\n";
  } else {
    std::cerr << "Attach a debugger with: gdb -p " << pid << "\n";
  }
  std::cerr << std::flush;
}

int summary(const SeatReplayResult& result, std::optional<int> until) {
  const std::string upto = until ? " up to move " + std::to_string(*until) : "";
  if (!result.first_difference) {
    std::cout << "every answer matched: " << result.answers << " of " << result.answers << upto
              << std::endl;
    return 0;
  }
  std::cout << "the answers differ from move " << *result.first_difference << " on"
            << (result.bot_stopped ? " (the bot stopped answering)" : "") << upto << std::endl;
  return 1;
}

SeatReplayConfig replay_config(const ReplayRequest& request, std::optional<ScratchDir>& scratch) {
  SeatReplayConfig config;
  config.match.sandbox = request.sandbox;
  config.match.players[request.seat - 1].command = request.command;
  config.seat = request.seat;
  config.until = request.until;
  config.hidden_dir = fs::absolute(request.log).parent_path();
  if (stderr_is_stream()) {
    config.stderr_file = "/dev/stderr";
  } else {
    scratch.emplace(sandbox::kScratchDirPrefix);
    config.stderr_file = scratch->path() / "bot.err";
  }
  return config;
}

// What is to come: the answers to compare, and any the game timed out on, which the replay
// awaits for long.
void announce(const ReplayRequest& request, const std::vector<SeatEvent>& events) {
  int answers = 0;
  for (const SeatEvent& event : events) {
    if (event.kind != SeatEvent::Kind::kAnswer) continue;
    ++answers;
    if (event.lost != "TIMEOUT" || (request.until && event.move > *request.until)) continue;
    std::cerr << "zarvo-arena replay: in the game the bot ran out of time in move " << event.move
              << ": the replay waits for that answer up to 24 hours (Ctrl-C ends it)" << std::endl;
  }
  std::cout << "seat " << request.seat << " of " << request.log.string() << ": " << answers
            << (answers == 1 ? " answer" : " answers") << " recorded" << std::endl;
}

}  // namespace

int run_replay_command(std::span<const std::string> args) {
  if (asks_for_help(args)) {
    std::cout << kReplayUsage;
    return 0;
  }
  ReplayRequest request;
  try {
    request = parse(args);
  } catch (const UsageError& error) {
    return usage_error("replay", error.what());
  }
  GameLog game;
  try {
    game = read_checked_game_log(request.log);
    if (!game.finished())
      throw GameLogError(request.log.string() + ": the game does not end in it: cut short?");
  } catch (const GameLogError& error) {
    std::cerr << "zarvo-arena replay: " << error.what() << "\n";
    return 2;
  }
  if (request.until && static_cast<std::size_t>(*request.until) > game.moves.size()) {
    return usage_error("replay", "--until " + std::to_string(*request.until) +
                                     ": the game has only " + std::to_string(game.moves.size()) +
                                     " moves");
  }
  const SeatInput input = seat_input(game, request.seat);
  if (!input.cut_short.empty()) std::cerr << "zarvo-arena replay: " << input.cut_short << "\n";
  if (request.print) {
    print_lines(input.events, request.until);
    return 0;
  }

  // This process replays one seat: it owns the process-wide state that takes, as `match` does.
  ignore_broken_pipes();
  catch_stop_signals(OnStopSignal::kKillGroups);
  adopt_orphans();
  std::optional<ScratchDir> scratch;
  SeatReplayConfig config = replay_config(request, scratch);
  announce(request, input.events);
  SeatReplayResult result;
  try {
    std::optional<int> first;
    result = replay_seat(config, input.events,
                         {[&](const ReplayedAnswer& answer) {
                            const bool first_difference = !answer.matches && !first;
                            if (first_difference) first = answer.move;
                            print_answer(answer, first_difference);
                          },
                          [&](pid_t pid) { holding_note(pid, request.sandbox, *request.until); }});
    kill_remaining_children();
  } catch (const std::exception& error) {
    kill_remaining_children();
    std::cerr << "zarvo-arena replay: " << error.what() << "\n";
    return 2;
  }
  if (scratch) std::cerr << read_tail(config.stderr_file, 64 * 1024) << std::flush;
  if (int sig = stop_signal_received(); sig && !result.held) {
    std::cerr << "zarvo-arena replay: stopped by signal " << sig << "\n";
    return 128 + sig;
  }
  return summary(result, request.until);
}

}  // namespace arena::cli
