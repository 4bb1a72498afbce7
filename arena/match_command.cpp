#include "arena/match_command.h"

#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string_view>

#include "arena/match.h"
#include "arena/option_values.h"
#include "arena/process_registry.h"
#include "arena/shell_words.h"

namespace arena {
namespace {

struct UsageError : std::invalid_argument {
  using std::invalid_argument::invalid_argument;
};

// The last part of the referee's standard error, for the report of a failed game.
std::string tail_of(const std::filesystem::path& file, std::size_t limit = 4096) {
  std::ifstream in(file, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (text.size() > limit) text = "..." + text.substr(text.size() - limit);
  return text;
}

MatchConfig parse(std::span<const std::string> args) {
  MatchConfig config;
  const OptionSetters options = {
      {"--name1", [&](const std::string& v) { config.players[0].name = v; }},
      {"--name2", [&](const std::string& v) { config.players[1].name = v; }},
      {"--cwd1", [&](const std::string& v) { config.players[0].workdir = v; }},
      {"--cwd2", [&](const std::string& v) { config.players[1].workdir = v; }},
      {"--dir", [&](const std::string& v) { config.out_dir = v; }},
      {"--id", [&](const std::string& v) { config.game_id = v; }},
      {"--time-limit", [&](const std::string& v) { config.time_limit = parse_duration(v); }},
      {"--memory-limit",
       [&](const std::string& v) { config.memory_limit_mb = parse_megabytes(v); }},
      {"--file-limit", [&](const std::string& v) { config.file_limit_mb = parse_megabytes(v); }},
      {"--tiles", [&](const std::string& v) { config.tiles = v; }},
      {"--referee", [&](const std::string& v) { config.referee = v; }},
      {"--resources", [&](const std::string& v) { config.resources = v; }},
      {"--grace", [&](const std::string& v) { config.grace = parse_duration(v); }},
      {"--game-timeout", [&](const std::string& v) { config.game_timeout = parse_duration(v); }},
  };

  std::vector<std::string> positional;
  try {
    parse_options(args, options, &positional);
  } catch (const std::invalid_argument& error) {
    throw UsageError(error.what());
  }
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

const char* const kMatchUsage = R"(usage: zarvo-arena match [options] PLAYER1 PLAYER2

Plays one game of Zarvo between two programs, refereed by zarvo-checker. PLAYER1 moves first.
Each player is one argument holding a command line, split into words as a shell splits it:
  zarvo-arena match build/bin/zarvo-greedy "build/bin/zarvo-random --seed 7"

Options (--option VALUE or --option=VALUE):
  --name1 NAME, --name2 NAME  display names: 1 to 32 letters, digits or '_' (default: the
                              program's file name, other characters turned into '_')
  --cwd1 DIR, --cwd2 DIR      a player's working directory (default: its program's directory)
  --dir DIR                   output directory; log, page and error files go to DIR/refereelogs/
                              as <name1>-<name2>.<id>.log and .html (default: .)
  --id ID                     game id: 1 to 40 letters, digits, '_' or '-' (default: date, time
                              and process id)
  --time-limit TIME           thinking time of each player for the whole game (default: 10);
                              seconds (2.5) or milliseconds (500ms)
  --memory-limit MB           address-space limit of each player (default: none)
  --file-limit MB             largest file a player may write, its error file included (64)
  --tiles FILE                tile script, given to the referee as tiles.txt
  --referee PROGRAM           the referee (default: zarvo-checker beside zarvo-arena)
  --resources DIR             the viewer files (zarvo.js, zarvo.css), copied into resources/ of
                              the output directory for its pages (default: resources/ beside
                              zarvo-arena, else ../share/zarvo/resources/ from there)
  --grace TIME                how long players may take to end after the game (default: 1)
  --game-timeout TIME         longest a game may take before the referee counts as failed
                              (default: twice the time limit plus 60 seconds)

Prints one line: NAME1 vs NAME2: RESULT1 RESULT2 DESCRIPTION log LOGPATH page PAGEPATH
Exit status: 0 game played, 1 referee failed, 2 bad command line or set-up,
128+N stopped by signal N.
)";

int run_match_command(std::span<const std::string> args) {
  for (const auto& arg : args) {
    if (arg == "--help" || arg == "-h") {
      std::cout << kMatchUsage;
      return 0;
    }
  }
  MatchConfig config;
  try {
    config = parse(args);
  } catch (const UsageError& error) {
    std::cerr << "zarvo-arena match: " << error.what() << "\n(see zarvo-arena match --help)\n";
    return 2;
  }

  MatchResult result;
  try {
    result = play_match(config);
  } catch (const MatchSetupError& error) {
    std::cerr << "zarvo-arena match: " << error.what() << "\n";
    return 2;
  } catch (const std::exception& error) {
    std::cerr << "zarvo-arena match: the game could not be run: " << error.what() << "\n";
    return 1;
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
  const auto& [one, two] = result.players;
  std::cout << one.name << " vs " << two.name << ": " << one.result << " " << two.result << " "
            << result.description << " log " << result.log.string() << " page "
            << result.page.string() << std::endl;
  return 0;
}

}  // namespace arena
