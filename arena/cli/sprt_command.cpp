#include "arena/cli/sprt_command.h"

#include <unistd.h>

#include <array>
#include <charconv>
#include <deque>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <thread>

#include "arena/cli/build_command.h"
#include "arena/cli/command_line.h"
#include "arena/match/match_options.h"
#include "arena/match/option_values.h"
#include "arena/series/game_pairs.h"
#include "arena/series/game_runner.h"
#include "arena/series/match_jobs.h"
#include "arena/series/plan_file.h"
#include "arena/series/tournament_plan.h"
#include "arena/sprt/sprt_report.h"
#include "arena/stats/sprt.h"

namespace arena::tournament {
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
  if (options.concurrency == 0)
    options.concurrency = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  return options;
}

// Numbers in the plan as they were read, in their shortest exact form.
std::string exact(double value) {
  char text[64];
  auto [end, error] = std::to_chars(text, text + sizeof text, value);
  return std::string(text, end);
}

// What identifies the test in its directory; --max-pairs and --concurrency are left out, as
// they change neither the games nor the decision of a pair already played.
std::string describe_sprt(const SprtOptions& options) {
  const stats::SprtParameters& p = options.parameters;
  const TournamentSettings& s = options.settings;
  std::string text = "sprt\nelo0 " + exact(p.elo0) + "\nelo1 " + exact(p.elo1) + "\nalpha " +
                     exact(p.alpha) + "\nbeta " + exact(p.beta);
  text += "\npairs seats-swapped-on-one-tile-script";
  text += "\nseed " + (s.seed ? "=" + *s.seed : std::string("none"));
  text += "\nmatch-options";
  for (const auto& option : s.match_options) text += " " + option;
  for (const auto& player : s.players) text += "\nplayer " + player.name + "=" + player.command;
  return text + "\n";
}

// The test as it runs: pairs are handed out in order, their games may finish in any order,
// and pairs are counted strictly in order, so that the same games always give the same
// decision, at the same pair.
class SprtRun {
 public:
  SprtRun(const SprtOptions& options, const fs::path& dir, JobFactory& factory)
      : options_(options), dir_(dir), factory_(factory) {
    report_.player = options.settings.players[0].name;
    report_.opponent = options.settings.players[1].name;
    report_.parameters = options.parameters;
    report_.status = stats::sprt_status(pentanomial_, options.parameters);
  }

  // Counts the pairs already played in order from the first; returns how many.
  long long resume() {
    while (!decided() && !at_limit()) {
      PairRecords pair = read_pair(dir_, options_.settings, games_of(next_pair_));
      if (!whole(pair)) break;
      pending_[next_pair_++] = std::move(pair);
      count_ready(false);
    }
    return counted_;
  }

  std::optional<MatchJob> next_job() {
    if (decided() || failed_) return std::nullopt;
    if (!queued_.empty()) {
      MatchJob job = std::move(queued_.front());
      queued_.pop_front();
      return job;
    }
    while (!decided() && (!options_.max_pairs || next_pair_ <= *options_.max_pairs)) {
      long long k = next_pair_++;
      auto games = games_of(k);
      PairRecords pair = read_pair(dir_, options_.settings, games);
      if (whole(pair)) {  // played before the run was stopped, after a pair still unplayed
        pending_[k] = std::move(pair);
        count_ready(true);
        continue;
      }
      discard_half_pair(pair, dir_);
      pending_[k] = {};
      queued_.push_back(factory_.make(games[1]));
      return factory_.make(games[0]);
    }
    return std::nullopt;
  }

  void game_finished(const MatchJob& job, const JobOutcome& outcome) {
    if (!outcome.played) {
      if (outcome.problem == "stopped") return;
      fail("game " + std::to_string(job.number) + ": " + outcome.problem);
      return;
    }
    auto record = read_game_record(dir_, job.files.log());
    if (!record) {
      fail("game " + std::to_string(job.number) + ": no result in " + job.files.log().string());
      return;
    }
    long long pair = (job.number + 1) / 2;
    pending_[pair][job.number % 2 == 1 ? 0 : 1] = std::move(*record);
    count_ready(true);
  }

  bool finished() const { return decided() || failed_; }
  bool failed() const { return failed_; }
  bool decided() const { return report_.status.result != stats::SprtResult::none; }
  bool at_limit() const { return options_.max_pairs && counted_ >= *options_.max_pairs; }
  const SprtReport& report() const { return report_; }

  // Once the test has decided, the games of later pairs (finished while the deciding pair
  // was still playing, or by an earlier run that was stopped before it could remove them)
  // are not part of it: their files go.
  void drop_later_pairs() {
    if (!decided()) return;
    // The files themselves say which later games exist: a later pair may have left no file at
    // all while one after it finished.
    std::vector<GameFiles> later;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(GameFiles::log_dir_of(dir_), error)) {
      auto files = GameFiles::from_file(entry.path());
      if (!files || !ours(*files)) continue;
      long long number = 0;
      const std::string& id = files->id();
      auto [end, failure] = std::from_chars(id.data(), id.data() + id.size(), number);
      if (failure == std::errc() && end == id.data() + id.size() && number > 2 * counted_) {
        later.push_back(*files);
      }
    }
    for (const GameFiles& files : later) {
      discard_game_files(files.log());
      fs::remove(files.tiles(), error);
    }
  }

  // Whether a game's files are of this test's two players.
  bool ours(const GameFiles& files) const {
    const auto& players = options_.settings.players;
    return (files.name1() == players[0].name && files.name2() == players[1].name) ||
           (files.name1() == players[1].name && files.name2() == players[0].name);
  }

  void show(bool terminal) {
    if (terminal) {
      std::cout << "\r\033[K" << sprt_progress_line(report_) << std::flush;
    } else {
      std::cout << sprt_progress_line(report_) << std::endl;
    }
  }
  void set_terminal(bool terminal) { terminal_ = terminal; }

 private:
  std::array<ScheduledGame, 2> games_of(long long pair) const {
    return paired_games(static_cast<int>(pair), 0, 1);
  }

  void fail(const std::string& problem) {
    failed_ = true;
    if (terminal_) std::cout << "\n";
    std::cout << problem << std::endl;
  }

  // Counts every pair that is whole and next in order; writes sprt.json and shows the line
  // after each one.
  void count_ready(bool show_progress) {
    while (!decided() && !at_limit()) {
      auto found = pending_.find(counted_ + 1);
      if (found == pending_.end() || !whole(found->second)) break;
      pentanomial_.add(pair_half_points(*found->second[0], *found->second[1], report_.player));
      pending_.erase(found);
      ++counted_;
      report_.status = stats::sprt_status(pentanomial_, options_.parameters);
      write_sprt_json(dir_, report_);
      if (show_progress) show(terminal_);
    }
  }

  const SprtOptions& options_;
  fs::path dir_;
  JobFactory& factory_;
  SprtReport report_;
  stats::Pentanomial pentanomial_;
  std::map<long long, PairRecords> pending_;  // handed out or found, not yet counted
  std::deque<MatchJob> queued_;               // the second game of the pair just handed out
  long long next_pair_ = 1;
  long long counted_ = 0;
  bool failed_ = false;
  bool terminal_ = false;
};

int run(const SprtOptions& options, const fs::path& dir) {
  std::string plan = describe_sprt(options);
  PlanCheck plan_check = check_plan(dir, kSprtPlanFile, plan);
  const TournamentSettings& settings = options.settings;
  std::optional<std::string> drawn_seed;
  if (!settings.seed) drawn_seed = plan_check.drawn_seed ? *plan_check.drawn_seed : draw_seed();
  JobFactory factory(settings, dir, settings.seed ? *settings.seed : *drawn_seed);
  if (!plan_check.recorded || (drawn_seed && !plan_check.drawn_seed)) {
    record_plan(dir, kSprtPlanFile, plan, drawn_seed);
  }

  bool terminal = ::isatty(STDOUT_FILENO) == 1;
  SprtRun test(options, dir, factory);
  test.set_terminal(terminal);
  long long resumed = test.resume();
  write_sprt_json(dir, test.report());
  if (resumed > 0) {
    std::cout << "resuming: " << resumed << (resumed == 1 ? " pair" : " pairs") << " already played"
              << std::endl;
    test.show(terminal);
  }

  RunSummary summary{};
  if (!test.decided() && !test.at_limit()) {
    RunCallbacks callbacks;
    callbacks.finished = [&](const MatchJob& job, const JobOutcome& outcome) {
      test.game_finished(job, outcome);
    };
    callbacks.done = [&] { return test.finished(); };
    summary = run_jobs([&] { return test.next_job(); }, options.concurrency, callbacks);
  }
  test.drop_later_pairs();
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

}  // namespace arena::tournament
