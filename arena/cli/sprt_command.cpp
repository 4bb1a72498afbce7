#include "arena/cli/sprt_command.h"

#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <optional>

#include "arena/cli/build_command.h"
#include "arena/cli/command_line.h"
#include "arena/match/match_options.h"
#include "arena/match/option_values.h"
#include "arena/series/game_runner.h"
#include "arena/series/match_jobs.h"
#include "arena/series/plan_file.h"
#include "arena/series/tournament_plan.h"
#include "arena/sprt/sprt_report.h"
#include "arena/sprt/sprt_run.h"
#include "arena/stats/sprt.h"

namespace arena::cli {
using namespace arena::series;
using namespace arena::sprt;
namespace fs = std::filesystem;

namespace {

const char* const kSprtUsage =
    R"(usage: zarvo-arena sprt --dir DIR --player A=CMD --player B=CMD --elo0 E0 --elo1 E1 [options]

Tests whether A is stronger than B: plays pairs of games between them (two games on one tile
script, A first in the first, B first in the second) until a sequential probability ratio
test accepts H1 (A is at least E1 Elo stronger) or H0 (A is E0 Elo stronger, or less), or
--max-pairs pairs are played. After each pair it shows the pentanomial counts (pairs in which
A scored 0, 1/2, 1, 3/2, 2 points), the log-likelihood ratio with its bounds, A's Elo estimate
with its 95% interval and the likelihood of superiority, and writes them to DIR/sprt.json.
Games go to DIR/refereelogs/. Run the same command again to go on after Ctrl-C; a rerun with
a higher --max-pairs goes on with a test that did not decide.

Options (--option VALUE or --option=VALUE):
  --dir DIR                 the test's directory (required)
  --player [NAME=]COMMAND   A, then B: a command line, split like a shell does; the name
                            defaults to the program's file name; COMMAND may also be the
                            directory of an entry `zarvo-arena build` built
  --entries DIR             the entries below DIR that `zarvo-arena build` built (two)
  --elo0 E0, --elo1 E1      the hypotheses H0 and H1, Elo of A over B, E0 < E1 (required)
  --alpha A                 the chance of accepting H1 when H0 holds (default: 0.05)
  --beta B                  the chance of accepting H0 when H1 holds (default: 0.05)
  --max-pairs N             stop undecided after N pairs (default: no limit)
  --concurrency J           games at once, 1 to 1024 (default: the number of cores)
  --seed S                  derives each pair's colours and tiles from S and the pair number
                            (default: a seed drawn at random once and kept in DIR/sprt.txt, so
                            that a rerun plays the same tile scripts)
)";

struct SprtOptions {
  TournamentSettings settings;  // the two players, seed and match options
  stats::SprtParameters parameters;
  bool have_elo0 = false, have_elo1 = false;
  std::optional<long long> max_pairs;
  fs::path dir;
  int concurrency = 0;
};

// Pair k holds games 2k-1 and 2k; a game id of at most 9 digits keeps every file name short.
constexpr long long kMaxPairs = 100'000'000;

SprtOptions parse(std::span<const std::string> args) {
  SprtOptions options;
  TournamentSettings& s = options.settings;
  stats::SprtParameters& p = options.parameters;
  CommandLine line;
  add_forwarded_match_options(line, s.match_options);
  line.option("--dir", [&](const std::string& v) { options.dir = v; });
  line.option("--player", [&](const std::string& v) { s.players.push_back(parse_player(v)); });
  line.option("--entries", [&](const std::string& v) { add_entries(s.players, v); });
  line.option("--elo0",
              [&](const std::string& v) { p.elo0 = parse_number(v), options.have_elo0 = true; });
  line.option("--elo1",
              [&](const std::string& v) { p.elo1 = parse_number(v), options.have_elo1 = true; });
  line.option("--alpha", [&](const std::string& v) { p.alpha = parse_number(v); });
  line.option("--beta", [&](const std::string& v) { p.beta = parse_number(v); });
  line.option("--max-pairs",
              [&](const std::string& v) { options.max_pairs = parse_whole(v, 1, kMaxPairs); });
  add_concurrency_option(line, options.concurrency);
  line.option("--seed", [&](const std::string& v) { s.seed = v; });
  line.parse(args);
  try {
    if (options.dir.empty()) throw std::invalid_argument("give the test's directory with --dir");
    if (s.players.size() != 2)
      throw std::invalid_argument("give exactly two players: --player A=CMD --player B=CMD");
    check_players(s.players);
    if (!options.have_elo0 || !options.have_elo1)
      throw std::invalid_argument("give both hypotheses with --elo0 and --elo1");
    stats::check_sprt_parameters(p);
  } catch (const std::invalid_argument& error) {
    throw UsageError(error.what());
  }
  return options;
}

int run(const SprtOptions& options, const fs::path& dir) {
  bool terminal = ::isatty(STDOUT_FILENO) == 1;
  SprtRun test(options.settings, options.parameters, options.max_pairs, dir, std::cout, terminal);
  if (long long resumed = test.resumed(); resumed > 0) {
    std::cout << "resuming: " << resumed << (resumed == 1 ? " pair" : " pairs") << " already played"
              << std::endl;
    test.show();
  }
  RunSummary summary = test.play(options.concurrency);
  if (terminal && test.report().status.pentanomial.pairs() > 0) std::cout << "\n";
  std::cout << "\n" << sprt_summary(test.report(), test.at_limit()) << std::flush;
  std::cout << "see " << (dir / "sprt.json").string() << std::endl;
  if (summary.stop_signal) {
    std::cout << "stopped; run the same command again to go on" << std::endl;
    return 128 + summary.stop_signal;
  }
  if (test.failed()) {
    std::cout << "a game could not be played; run the same command again to retry" << std::endl;
    return 1;
  }
  return 0;
}

}  // namespace

int run_sprt_command(std::span<const std::string> args) {
  if (asks_for_help(args)) {
    std::cout << kSprtUsage << "\nHanded to every game (see zarvo-arena match --help):\n"
              << match_options_help(true);
    return 0;
  }
  SprtOptions options;
  try {
    options = parse(args);
  } catch (const std::exception& error) {
    return usage_error("sprt", error.what());
  }
  try {
    fs::path dir = run_directory(options.dir);
    fs::create_directories(dir);
    return run(options, dir);
  } catch (const std::exception& error) {
    std::cerr << "zarvo-arena sprt: " << error.what() << "\n";
    return 2;
  }
}

}  // namespace arena::cli
