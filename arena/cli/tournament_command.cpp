#include "arena/cli/tournament_command.h"

#include <unistd.h>

#include <iostream>
#include <limits>

#include "arena/cli/build_command.h"
#include "arena/cli/check_command.h"
#include "arena/cli/command_line.h"
#include "arena/match/match_options.h"
#include "arena/match/option_values.h"
#include "arena/series/game_runner.h"
#include "arena/series/match_jobs.h"
#include "arena/series/not_built.h"
#include "arena/series/plan_file.h"
#include "arena/series/tournament_plan.h"
#include "arena/system/atomic_file.h"
#include "arena/tournament/tournament_reports.h"
#include "arena/tournament/tournament_run.h"

namespace arena::cli {
using namespace arena::series;
using namespace arena::tournament;
namespace fs = std::filesystem;

namespace {

std::string tournament_usage() {
  return R"(usage: zarvo-arena tournament --dir DIR [options] PLAYERS

Plays many games of Zarvo between several programs, each game one `zarvo-arena match`, and
keeps their logs, replay pages and error files in DIR/refereelogs/, with results.csv,
standings.txt and index.html in DIR (the last two rewritten after every game while it plays).
Run the same command again in the same DIR to play the games not yet finished (after Ctrl-C,
for instance; in the background stop it with SIGTERM, which counts as Ctrl-C); a pair with
one game finished is played again whole. The same command with a higher --games-per-pair, or
with players added (anywhere: players are matched by name), plays only the new games, the
played ones keeping their numbers and files; other changes are refused, naming what changed,
among them a built entry whose sources changed (build it again under a new name instead). standings.json holds the standings, crosstable, games and settings for programs.

Players (at least two, names unique):
  --player [NAME=]COMMAND   a player's command line, split like a shell does; the name defaults
                            to the program's file name (repeat the option for each player)
  --players FILE            one player a line in the same form; '#' starts a comment line
  --entries DIR             every entry below DIR that `zarvo-arena build` built, each named
                            after its directory (a COMMAND may also be one entry's directory);
                            those that did not build are recorded in not-built.json of the
                            tournament directory, which the standings and the published site
                            list as not built

Options (--option VALUE or --option=VALUE):
  --dir DIR                 the tournament directory (required)
  --format FORMAT           round-robin (everybody against everybody, the default) or gauntlet
                            (the first player against each of the others)
  --games-per-pair N        games per pairing, an even number (default: 2): they come in
                            pairs, two games on one tile script with the seats swapped
  --concurrency J           games at once, 1 to 1024 (default: the number of cores)
  --seed S                  derives each pair's colours and tiles from S and the pair number,
                            making the tournament reproducible (default: a seed drawn at random
                            once and kept in DIR/tournament.txt, so that a rerun plays the same
                            tile scripts)
  --emit-jobs FILE          play nothing: write one shell command per game of the unfinished
                            pairs to FILE, for GNU parallel or a job array; then
                            `zarvo-arena standings DIR`
  --no-check                start without checking the players first (zarvo-arena check: each
                            plays one game against a sample bot; the tournament does not start
                            while any cannot play: cannot start, or gives no legal first answer
                            in time; one that loses later in that game is warned about)

Handed to every game (see zarvo-arena match --help):
)" + match_options_help(true);
}

constexpr long long kMaxGames = 1'000'000;

struct TournamentOptions {
  TournamentSettings settings;
  fs::path dir;
  int concurrency = 0;
  std::optional<fs::path> emit_jobs;
  bool check = true;  // every player passes zarvo-arena check before the first game
  // The entries --entries left out, recorded in the directory when --entries was given.
  std::optional<std::vector<NotBuiltEntry>> not_built;
};

// The games of a pairing come in pairs on one tile script, so their number is even.
int parse_pair_count(const std::string& text) {
  auto value = static_cast<int>(parse_whole(text, 1, std::numeric_limits<int>::max()));
  if (value % 2 != 0) {
    throw std::invalid_argument(
        "must be even: the games of a pairing come in pairs, two games on one tile script "
        "with the seats swapped");
  }
  return value;
}

TournamentOptions parse(std::span<const std::string> args) {
  TournamentOptions options;
  TournamentSettings& s = options.settings;
  CommandLine line;
  add_forwarded_match_options(line, s.match_options);
  line.option("--player", [&](const std::string& v) { s.players.push_back(parse_player(v)); });
  line.option("--players", [&](const std::string& v) {
    auto more = read_players_file(v);
    s.players.insert(s.players.end(), more.begin(), more.end());
  });
  line.option("--entries", [&](const std::string& v) {
    if (!options.not_built) options.not_built.emplace();
    add_entries(s.players, v, &*options.not_built);
  });
  line.flag("--no-check", [&] { options.check = false; });
  line.option("--dir", [&](const std::string& v) { options.dir = v; });
  line.option("--format", [&](const std::string& v) {
    if (v == "round-robin") {
      s.format = Format::round_robin;
    } else if (v == "gauntlet") {
      s.format = Format::gauntlet;
    } else {
      throw std::invalid_argument("\"" + v + "\" is neither round-robin nor gauntlet");
    }
  });
  line.option("--games-per-pair",
              [&](const std::string& v) { s.games_per_pair = parse_pair_count(v); });
  add_concurrency_option(line, options.concurrency);
  line.option("--seed", [&](const std::string& v) { s.seed = v; });
  line.option("--emit-jobs", [&](const std::string& v) { options.emit_jobs = v; });
  line.parse(args);
  if (options.dir.empty()) throw UsageError("give the tournament directory with --dir");
  try {
    check_players(s.players);
  } catch (const std::invalid_argument& error) {
    throw UsageError(error.what());
  }
  // Refused before any schedule is built: a typo such as an extra zero must not fill memory.
  if (long long games = scheduled_game_count(s); games > kMaxGames) {
    throw UsageError("that is " + std::to_string(games) + " games; a tournament holds at most " +
                     std::to_string(kMaxGames));
  }
  return options;
}

int emit_jobs(const fs::path& file, const std::vector<MatchJob>& jobs, std::size_t total,
              const fs::path& dir) {
  std::string text;  // all made before the file is written: one line may be refused
  for (const auto& job : jobs) text += job_line(job) + "\n";
  // Replaced in one step: a job array started early reads the old list or the new one whole.
  replace_file(file, text);
  std::cout << "wrote " << jobs.size() << " game commands to " << file.string() << " ("
            << total - jobs.size() << " of " << total
            << " games already finished); afterwards run\n"
            << "  zarvo-arena standings " << shell_quote(dir.string()) << std::endl;
  return 0;
}

int play(const TournamentOptions& options, const fs::path& dir, const PlanCheck& plan_check) {
  TournamentRun run(options.settings, dir, plan_check);
  if (options.emit_jobs) return emit_jobs(*options.emit_jobs, run.jobs(), run.planned(), dir);

  bool terminal = ::isatty(STDOUT_FILENO) == 1;
  if (!terminal && (run.finished() > 0 || run.replayed())) {
    std::cout << "resuming: " << run.finished() << " of " << run.planned()
              << " games already finished";
    if (int replayed = run.replayed()) {
      std::cout << " (" << replayed << (replayed == 1 ? " game" : " games")
                << " of unfinished pairs played again)";
    }
    std::cout << "\n";
  }
  RunSummary summary = run.play(options.concurrency, std::cout, terminal);
  TournamentReport report = run.write_final_reports();
  if (!terminal) std::cout << "\n" << standings_txt(report);
  std::cout << "\n"
            << run.finished() << " of " << run.planned() << " games finished; see "
            << (dir / "index.html").string() << std::endl;
  if (summary.stop_signal) {
    std::cout << "stopped; run the same command again to play the remaining games" << std::endl;
    return 128 + summary.stop_signal;
  }
  return run.finished() == run.planned() ? 0 : 1;
}

}  // namespace

int run_tournament_command(std::span<const std::string> args) {
  if (asks_for_help(args)) {
    std::cout << tournament_usage();
    return 0;
  }
  TournamentOptions options;
  try {
    options = parse(args);
  } catch (const std::exception& error) {
    return usage_error("tournament", error.what());
  }
  try {
    fs::path dir = run_directory(options.dir);
    if (options.emit_jobs) check_one_line(dir.string(), "the tournament's directory");
    fs::create_directories(dir);
    PlanCheck plan_check = check_tournament_plan(dir, options.settings);
    if (options.not_built) write_not_built(dir, *options.not_built);
    if (options.check && !options.emit_jobs &&
        !check_field(options.settings.players, options.settings.match_options, dir)) {
      return 2;
    }
    return play(options, dir, plan_check);
  } catch (const std::exception& error) {
    std::cerr << "zarvo-arena tournament: " << error.what() << "\n";
    return 2;
  }
}

}  // namespace arena::cli
