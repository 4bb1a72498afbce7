#include "arena/cli/play_human_command.h"

#include <iostream>

#include "arena/cli/command_line.h"
#include "arena/cli/match_report.h"
#include "arena/game/game_files.h"
#include "arena/game/game_names.h"
#include "arena/game/viewer_files.h"
#include "arena/human/play_server.h"
#include "arena/match/limit_warnings.h"
#include "arena/match/match_options.h"
#include "arena/match/option_values.h"
#include "arena/match/player_command.h"
#include "arena/process/orphan_reaper.h"
#include "arena/process/pipe_writer.h"
#include "arena/process/program_path.h"
#include "arena/process/shell_words.h"
#include "arena/process/stop_signals.h"

namespace arena::cli {
namespace fs = std::filesystem;
namespace {

// The longest a game may take while the person's clock is off: a person may pause, not leave
// the arena running for ever.
constexpr auto kUnclockedGameTimeout = std::chrono::hours(24);
constexpr std::string_view kPersonName = "human";

struct HumanGame {
  MatchConfig config;
  int seat = 1;  // the person's
  int port = 0;
  bool clocked = false;  // --time-limit was given
};

HumanGame parse(std::span<const std::string> args) {
  HumanGame game;
  MatchConfig& config = game.config;
  std::vector<std::string> positional;
  CommandLine line;
  add_match_options(line, config, false);
  line.option("--seat",
              [&](const std::string& v) { game.seat = static_cast<int>(parse_whole(v, 1, 2)); });
  line.option("--port", [&](const std::string& v) {
    game.port = static_cast<int>(parse_whole(v, 0, 65535));
  });
  line.positionals(positional);
  // A time limit no command line can give tells whether one was given.
  const Clock::duration unset = Clock::duration::min();
  const Clock::duration default_limit = config.time_limit;
  config.time_limit = unset;
  line.parse(args);
  game.clocked = config.time_limit != unset;
  if (!game.clocked) config.time_limit = default_limit;
  if (positional.size() != 1) throw UsageError("give exactly one program, BOT");
  const int bot = 2 - game.seat;  // its index
  try {
    config.players[bot].command = split_shell_words(positional[0]);
  } catch (const std::invalid_argument& error) {
    throw UsageError(std::string("BOT: ") + error.what());
  }
  if (config.players[bot].command.empty()) throw UsageError("BOT is empty");
  return game;
}

// The names and the game id are settled before the game, so that the page knows the log.
GameFiles settle_names(MatchConfig& config, int person) {
  PlayerConfig& bot = config.players[2 - person];
  if (!bot.name) {
    const ProgramLookup lookup = config.sandbox ? ProgramLookup::kSandbox : ProgramLookup::kArena;
    try {
      bot.name = resolve_player(bot.command, lookup).name;
    } catch (const std::exception& error) {
      throw MatchSetupError(std::string("BOT: ") + error.what());
    }
  }
  PlayerConfig& own = config.players[person - 1];
  if (!own.name) own.name = std::string(kPersonName);
  if (!config.game_id) config.game_id = unique_game_id();
  return GameFiles(config.out_dir, *config.players[0].name, *config.players[1].name,
                   *config.game_id);
}

fs::path viewer_dir(const MatchConfig& config) {
  fs::path dir =
      config.resources.empty() ? default_viewer_source(own_directory()) : config.resources;
  std::error_code error;
  if (dir.empty() || !fs::is_regular_file(dir / "zarvo-play.js", error)) {
    throw MatchSetupError(
        "no viewer files for the page (zarvo-play.js) beside zarvo-arena; "
        "--resources names their directory");
  }
  return dir;
}

human::GameEnd game_end(const MatchResult& result, const MatchReport& report, std::string replay) {
  human::GameEnd end;
  end.result_line = report.result_line;
  end.winner = report.winner;
  end.results = {result.players[0].result, result.players[1].result};
  end.description = result.description;
  end.failure = result.completed() ? std::string() : result.failure;
  if (result.completed()) end.replay = std::move(replay);
  return end;
}

int play(HumanGame& game) {
  MatchConfig& config = game.config;
  const GameFiles files = settle_names(config, game.seat);
  if (!game.clocked && !config.game_timeout) config.game_timeout = kUnclockedGameTimeout;
  human::PersonSetup setup;
  setup.seat = game.seat;
  setup.names = {*config.players[0].name, *config.players[1].name};
  setup.log = files.log();
  if (game.clocked) setup.clock.emplace(config.time_limit, config.move_limit, config.increment);
  human::PersonSeat seat(std::move(setup));
  config.players[game.seat - 1].own_seat = &seat;

  human::PlayServer server(seat, viewer_dir(config), game.port);
  std::cout << server.url() << std::endl;
  std::cerr << "zarvo-arena play-human: open " << server.url() << " to play seat " << game.seat
            << " against " << *config.players[2 - game.seat].name << std::endl;
  MatchResult result = play_match(config);
  kill_remaining_children();
  const MatchReport report = report_match(result, "play-human");
  if (stop_signal_received()) return report.status;
  seat.finish(game_end(result, report, server.serve_replay(files, config.out_dir)));
  std::cerr << "zarvo-arena play-human: the game is over; the page serves its replay until you "
               "close it there (or Ctrl-C)"
            << std::endl;
  server.wait_until_done();
  return report.status;
}

}  // namespace

std::string play_human_usage() {
  return R"(usage: zarvo-arena play-human [options] BOT

Plays one game of Zarvo between you and a program, at a web page on this machine. The game is
a real one: refereed by zarvo-checker, BOT in its sandbox as in `zarvo-arena match`, with the
usual game log and replay page. The arena prints the page's address alone on a line; open it,
click one of the highlighted places for each tile (or type the move), and watch BOT answer.
  zarvo-arena play-human build/bin/zarvo-greedy
  zarvo-arena play-human --seat 2 --time-limit 300 "build/bin/zarvo-random --seed 7"
Your display name is "human" unless --name1 or --name2 names your seat. Your clock is off
unless --time-limit is given, which then holds you as it holds BOT.

Options (--option VALUE or --option=VALUE):
  --seat 1|2                  your seat: 1 moves first (default: 1)
  --port P                    the page's port on 127.0.0.1; 0: a free one (default: 0)
)" + match_options_help(false) +
         R"(
At the end it prints the result line of `zarvo-arena match` and serves the replay until you
close the page (or leave it alone for two minutes).
Exit status: 0 game played, 1 referee failed, 2 bad command line or set-up,
128+N stopped by signal N.
)";
}

int run_play_human_command(std::span<const std::string> args) {
  if (asks_for_help(args)) {
    std::cout << play_human_usage();
    return 0;
  }
  HumanGame game;
  try {
    game = parse(args);
  } catch (const UsageError& error) {
    return usage_error("play-human", error.what());
  }
  // As `match`: this process plays one game and owns the process-wide state it needs.
  ignore_broken_pipes();
  catch_stop_signals(OnStopSignal::kKillGroups);
  adopt_orphans();
  if (game.config.sandbox) std::cerr << weak_limit_warnings(game.config) << std::flush;
  try {
    return play(game);
  } catch (const MatchSetupError& error) {
    kill_remaining_children();
    if (auto status = stopped_by_signal("play-human")) return *status;
    std::cerr << "zarvo-arena play-human: " << error.what() << "\n";
    return 2;
  } catch (const std::exception& error) {
    kill_remaining_children();
    if (auto status = stopped_by_signal("play-human")) return *status;
    std::cerr << "zarvo-arena play-human: the game could not be run: " << error.what() << "\n";
    return 1;
  }
}

}  // namespace arena::cli
