#include "arena/tournament/tournament_command.h"

#include <unistd.h>

#include <charconv>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <thread>

#include "arena/game_files.h"
#include "arena/match_options.h"
#include "arena/option_values.h"
#include "arena/tournament/game_record.h"
#include "arena/tournament/game_runner.h"
#include "arena/tournament/match_jobs.h"
#include "arena/tournament/progress_display.h"
#include "arena/tournament/tournament_plan.h"
#include "arena/tournament/tournament_reports.h"

namespace arena::tournament {
namespace fs = std::filesystem;

namespace {

std::string tournament_usage() {
  return R"(usage: zarvo-arena tournament --dir DIR [options] PLAYERS

Plays many games of Zarvo between several programs, each game one `zarvo-arena match`, and
keeps their logs, replay pages and error files in DIR/refereelogs/, with results.csv,
standings.txt and index.html in DIR. Run the same command again in the same DIR to play the
games not yet finished (after Ctrl-C, for instance).

Players (at least two, names unique):
  --player [NAME=]COMMAND   a player's command line, split like a shell does; the name defaults
                            to the program's file name (repeat the option for each player)
  --players FILE            one player a line in the same form; '#' starts a comment line

Options (--option VALUE or --option=VALUE):
  --dir DIR                 the tournament directory (required)
  --format FORMAT           round-robin (everybody against everybody, the default) or gauntlet
                            (the first player against each of the others)
  --games-per-pair N        games per pairing, the first player alternating (default: 2)
  --concurrency J           games at once (default: the number of cores)
  --seed S                  derives each game's colours and tiles from S and the game number,
                            making the tournament reproducible (default: the referee's own)
  --emit-jobs FILE          play nothing: write one shell command per unfinished game to FILE,
                            for GNU parallel or a job array; then `zarvo-arena standings DIR`

Handed to every game (see zarvo-arena match --help):
)" + match_options_help(true);
}

const char* const kStandingsUsage = R"(usage: zarvo-arena standings DIR

Rebuilds DIR/results.csv, DIR/standings.txt and DIR/index.html from the game logs in
DIR/refereelogs/, wherever the games were played, and prints the standings.
)";

constexpr long long kMaxGames = 1'000'000;

struct TournamentOptions {
  TournamentSettings settings;
  fs::path dir;
  int concurrency = 0;
  std::optional<fs::path> emit_jobs;
};

int parse_count(const std::string& text, int low) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low) {
    throw std::invalid_argument("\"" + text + "\" is not a whole number of at least " +
                                std::to_string(low));
  }
  return value;
}

TournamentOptions parse(std::span<const std::string> args) {
  TournamentOptions options;
  TournamentSettings& s = options.settings;
  OptionSetters setters = forwarded_option_setters(s.match_options);
  setters.insert({
      {"--player", [&](const std::string& v) { s.players.push_back(parse_player(v)); }},
      {"--players",
       [&](const std::string& v) {
         auto more = read_players_file(v);
         s.players.insert(s.players.end(), more.begin(), more.end());
       }},
      {"--dir", [&](const std::string& v) { options.dir = v; }},
      {"--format",
       [&](const std::string& v) {
         if (v == "round-robin") {
           s.format = Format::round_robin;
         } else if (v == "gauntlet") {
           s.format = Format::gauntlet;
         } else {
           throw std::invalid_argument("\"" + v + "\" is neither round-robin nor gauntlet");
         }
       }},
      {"--games-per-pair", [&](const std::string& v) { s.games_per_pair = parse_count(v, 1); }},
      {"--concurrency", [&](const std::string& v) { options.concurrency = parse_count(v, 1); }},
      {"--seed", [&](const std::string& v) { s.seed = v; }},
      {"--emit-jobs", [&](const std::string& v) { options.emit_jobs = v; }},
  });
  try {
    parse_options(args, setters);
  } catch (const std::invalid_argument& error) {
    throw UsageError(error.what());
  }
  if (options.dir.empty()) throw UsageError("give the tournament directory with --dir");
  try {
    check_players(s.players);
  } catch (const std::invalid_argument& error) {
    throw UsageError(error.what());
  }
  // Refused before any schedule is built: a typo such as an extra zero must not fill memory.
  const long long n = static_cast<long long>(s.players.size());
  const long long pairs = s.format == Format::gauntlet ? n - 1 : n * (n - 1) / 2;
  if (pairs * s.games_per_pair > kMaxGames) {
    throw UsageError("that is " + std::to_string(pairs * s.games_per_pair) +
                     " games; a tournament holds at most " + std::to_string(kMaxGames));
  }
  if (options.concurrency == 0)
    options.concurrency = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  return options;
}

// Refuses to mix two tournaments in one directory; the plan is recorded once
// the players have been found, so that a rerun after a mistyped player path is
// not refused.
void check_plan(const fs::path& dir, const TournamentSettings& settings, bool record) {
  fs::path file = dir / "tournament.txt";
  std::string plan = describe_plan(settings);
  std::ifstream in(file);
  if (in) {
    // Read no more than the plan's own length, plus one byte to notice a longer
    // file.
    std::string existing(plan.size() + 1, '\0');
    in.read(existing.data(), static_cast<std::streamsize>(existing.size()));
    existing.resize(static_cast<std::size_t>(in.gcount()));
    if (existing != plan) {
      throw std::runtime_error(dir.string() + " holds another tournament (see " + file.string() +
                               "); use a new directory, or the same players and options");
    }
    return;
  }
  if (!record) return;
  std::ofstream out(file);
  out << plan;
  out.flush();
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::string game_line(const GameRecord& game) {
  return "game " + game.id + ": " + game.names[0] + " vs " + game.names[1] + ": " +
         std::to_string(game.values[0]) + " " + std::to_string(game.values[1]) + " " +
         game.description;
}

int emit_jobs(const fs::path& file, const std::vector<MatchJob>& jobs, std::size_t total,
              const fs::path& dir) {
  std::ofstream out(file, std::ios::trunc);
  for (const auto& job : jobs) out << shell_command(job.argv) << "\n";
  out.flush();
  if (!out) {
    std::cerr << "zarvo-arena tournament: cannot write " << file.string() << "\n";
    return 2;
  }
  std::cout << "wrote " << jobs.size() << " game commands to " << file.string() << " ("
            << total - jobs.size() << " of " << total
            << " games already finished); afterwards run\n"
            << "  zarvo-arena standings " << shell_quote(dir.string()) << std::endl;
  return 0;
}

int play(const TournamentOptions& options, const fs::path& dir) {
  std::vector<ScheduledGame> games = schedule_games(options.settings);
  std::vector<ScheduledGame> unfinished;
  std::vector<GameRecord> records;
  for (const auto& game : games) {
    const auto& players = options.settings.players;
    GameFiles files(dir, players[game.first].name, players[game.second].name,
                    std::to_string(game.number));
    if (auto record = read_game_record(dir, files.log())) {
      records.push_back(std::move(*record));
    } else {
      unfinished.push_back(game);
    }
  }
  std::vector<MatchJob> jobs = prepare_jobs(options.settings, unfinished, dir);
  check_plan(dir, options.settings, true);
  if (options.emit_jobs) return emit_jobs(*options.emit_jobs, jobs, games.size(), dir);

  bool terminal = ::isatty(STDOUT_FILENO) == 1;
  if (!terminal && !records.empty()) {
    std::cout << "resuming: " << records.size() << " of " << games.size()
              << " games already finished\n";
  }
  ProgressDisplay display(std::cout, terminal, static_cast<int>(games.size()),
                          static_cast<int>(records.size()));
  RunCallbacks callbacks;
  callbacks.finished = [&](const MatchJob& job, const JobOutcome& outcome) {
    if (outcome.played) {
      if (auto record = read_game_record(dir, job.files.log())) {
        std::string line = game_line(*record);
        records.push_back(std::move(*record));
        sort_games(records);
        display.game_finished(records, line);
        return;
      }
      display.game_failed("game " + std::to_string(job.number) + ": no result in " +
                          job.files.log().string());
    } else if (outcome.problem != "stopped") {
      display.game_failed("game " + std::to_string(job.number) + ": " + outcome.problem);
    }
  };
  callbacks.tick = [&] { display.tick(); };
  RunSummary summary = run_jobs(jobs, options.concurrency, callbacks);
  display.close();

  LogScan scan = scan_game_logs(dir);
  write_reports(dir, scan);
  std::size_t finished = records.size();
  if (!terminal) std::cout << "\n" << standings_txt(scan);
  std::cout << "\n"
            << finished << " of " << games.size() << " games finished; see "
            << (dir / "index.html").string() << std::endl;
  if (summary.stop_signal) {
    std::cout << "stopped; run the same command again to play the remaining games" << std::endl;
    return 128 + summary.stop_signal;
  }
  return finished == games.size() ? 0 : 1;
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
    fs::path dir = fs::absolute(options.dir).lexically_normal();
    if (!dir.has_filename()) dir = dir.parent_path();
    fs::create_directories(dir);
    check_plan(dir, options.settings, false);
    return play(options, dir);
  } catch (const std::exception& error) {
    std::cerr << "zarvo-arena tournament: " << error.what() << "\n";
    return 2;
  }
}

int run_standings_command(std::span<const std::string> args) {
  if (asks_for_help(args)) {
    std::cout << kStandingsUsage;
    return 0;
  }
  if (args.size() != 1) {
    std::cerr << "zarvo-arena standings: give one tournament directory\n" << kStandingsUsage;
    return 2;
  }
  fs::path dir = fs::absolute(args[0]).lexically_normal();
  if (!dir.has_filename()) dir = dir.parent_path();
  std::error_code error;
  if (!fs::is_directory(GameFiles::log_dir_of(dir), error)) {
    std::cerr << "zarvo-arena standings: " << GameFiles::log_dir_of(dir).string()
              << " is not a directory\n";
    return 2;
  }
  try {
    LogScan scan = scan_game_logs(dir);
    write_reports(dir, scan);
    std::cout << standings_txt(scan);
  } catch (const std::exception& failure) {
    std::cerr << "zarvo-arena standings: " << failure.what() << "\n";
    return 2;
  }
  return 0;
}

}  // namespace arena::tournament
