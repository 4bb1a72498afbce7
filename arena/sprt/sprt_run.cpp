#include "arena/sprt/sprt_run.h"

#include <array>
#include <charconv>
#include <climits>
#include <vector>

#include "arena/game/game_files.h"
#include "arena/series/game_pairs.h"
#include "arena/series/plan_file.h"
#include "arena/series/run_start.h"

namespace arena::sprt {
using namespace arena::series;
namespace fs = std::filesystem;

namespace {

std::array<ScheduledGame, 2> games_of(int pair) { return paired_games(pair, 0, 1); }

JobFactory start_test(const TournamentSettings& settings, const stats::SprtParameters& parameters,
                      const fs::path& dir) {
  std::string plan = describe_sprt(settings, parameters);
  return start_run(settings, dir, kSprtPlanFile, plan, check_plan(dir, kSprtPlanFile, plan));
}

SprtReport first_report(const TournamentSettings& settings,
                        const stats::SprtParameters& parameters) {
  SprtReport report;
  report.player = settings.players[0].name;
  report.opponent = settings.players[1].name;
  report.parameters = parameters;
  report.status = stats::sprt_status(stats::Pentanomial(), parameters);
  return report;
}

std::optional<long long> plain_number(const std::string& id) {
  long long number = 0;
  auto [end, failure] = std::from_chars(id.data(), id.data() + id.size(), number);
  if (failure != std::errc() || end != id.data() + id.size()) return std::nullopt;
  return number;
}

}  // namespace

std::string describe_sprt(const TournamentSettings& settings,
                          const stats::SprtParameters& parameters) {
  PlanRecord plan;
  plan.sprt = SprtPlanLines{parameters.elo0, parameters.elo1, parameters.alpha, parameters.beta};
  plan.seed = settings.seed;
  plan.match_options = settings.match_options;
  plan.players = settings.players;
  return plan_text(plan);
}

SprtRun::SprtRun(const TournamentSettings& settings, const stats::SprtParameters& parameters,
                 std::optional<long long> max_pairs, const fs::path& dir, std::ostream& out,
                 bool terminal)
    : settings_(settings),
      max_pairs_(max_pairs),
      dir_(dir),
      out_(out),
      terminal_(terminal),
      factory_(start_test(settings, parameters, dir)),
      count_(settings.players[0].name, parameters, max_pairs),
      report_(first_report(settings, parameters)),
      schedule_(games_of,
                max_pairs ? std::optional<int>(static_cast<int>(*max_pairs)) : std::nullopt,
                resume()) {
  write_sprt_json(dir_, report_);
}

// The files say which pairs were played: a run that was stopped may have finished a pair
// after one it left unplayed, and that pair is counted once the ones before it are.
std::set<int> SprtRun::resume() {
  std::set<int> numbers;
  for (const auto& [number, files] : our_games()) {
    long long pair = (number + 1) / 2;
    if (pair >= 1 && pair <= INT_MAX && (!max_pairs_ || pair <= *max_pairs_))
      numbers.insert(static_cast<int>(pair));
  }
  std::vector<std::array<ScheduledGame, 2>> pairs;
  for (int pair : numbers) pairs.push_back(games_of(pair));
  PlayedPairs played = read_played_pairs(dir_, settings_, pairs);
  for (auto& [pair, records] : played.whole) count_.add(pair, std::move(records));
  count_ready(false);
  resumed_ = count_.counted();
  return played.numbers();
}

RunSummary SprtRun::play(int concurrency) {
  RunSummary summary{};
  if (!decided() && !at_limit()) {
    RunCallbacks callbacks;
    callbacks.finished = [&](const MatchJob& job, const JobOutcome& outcome) {
      game_finished(job, outcome);
    };
    callbacks.done = [&] { return decided() || failed_; };
    summary = run_jobs([&] { return next_job(); }, concurrency, callbacks);
  }
  drop_later_pairs();
  return summary;
}

void SprtRun::show() {
  if (terminal_) {
    out_ << "\r\033[K" << sprt_progress_line(report_) << std::flush;
  } else {
    out_ << sprt_progress_line(report_) << std::endl;
  }
}

std::optional<MatchJob> SprtRun::next_job() {
  if (decided() || failed_) return std::nullopt;
  std::optional<ScheduledGame> game = schedule_.next();
  if (!game) return std::nullopt;
  return factory_.make(*game);
}

void SprtRun::game_finished(const MatchJob& job, const JobOutcome& outcome) {
  if (outcome.status == JobStatus::stopped) return;
  if (outcome.status == JobStatus::failed) {
    fail("game " + std::to_string(job.number) + ": " + outcome.problem);
    return;
  }
  auto record = read_game_record(dir_, job.files.log());
  if (!record) {
    fail("game " + std::to_string(job.number) + ": no result in " + job.files.log().string());
    return;
  }
  count_.add((job.number + 1) / 2, job.number % 2 == 1 ? 0 : 1, std::move(*record));
  count_ready(true);
}

void SprtRun::fail(const std::string& problem) {
  failed_ = true;
  if (terminal_) out_ << "\n";
  out_ << problem << std::endl;
}

// Counts every pair that is whole and next in order; writes sprt.json and shows the line after
// each one.
void SprtRun::count_ready(bool show_progress) {
  while (count_.count_next()) {
    report_.status = count_.status();
    write_sprt_json(dir_, report_);
    if (show_progress) show();
  }
}

// The games in the directory between this test's two players, by game number.
std::vector<std::pair<long long, GameFiles>> SprtRun::our_games() const {
  std::vector<std::pair<long long, GameFiles>> games;
  const auto& players = settings_.players;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(GameFiles::log_dir_of(dir_), error)) {
    auto files = GameFiles::from_file(entry.path());
    if (!files) continue;
    bool ours = (files->name1() == players[0].name && files->name2() == players[1].name) ||
                (files->name1() == players[1].name && files->name2() == players[0].name);
    auto number = plain_number(files->id());
    if (ours && number) games.emplace_back(*number, *files);
  }
  return games;
}

// Once the test has decided, the games of later pairs (finished while the deciding pair was
// still playing, or by an earlier run that was stopped before it could remove them) are not
// part of it: their files go. The files themselves say which later games exist: a later pair
// may have left no file at all while one after it finished.
void SprtRun::drop_later_pairs() {
  if (!decided()) return;
  std::error_code error;
  for (const auto& [number, files] : our_games()) {
    if (number <= 2 * count_.counted()) continue;
    discard_game_files(files.log());
    fs::remove(files.tiles(), error);
  }
}

}  // namespace arena::sprt
