#include "arena/tournament/tournament_run.h"

#include <string>

#include "arena/series/game_pairs.h"
#include "arena/series/game_schedule.h"
#include "arena/series/plan_growth.h"
#include "arena/series/run_start.h"
#include "arena/tournament/progress_display.h"

namespace arena::tournament {
using namespace arena::series;
namespace fs = std::filesystem;

namespace {

std::string game_line(const GameRecord& game) {
  return "game " + game.id + ": " + game.names[0] + " vs " + game.names[1] + ": " +
         std::to_string(game.values[0]) + " " + std::to_string(game.values[1]) + " " +
         game.description + " => " + outcome_of(game).story(sides_of(game));
}

std::vector<std::array<ScheduledGame, 2>> pairs_of(const std::vector<ScheduledGame>& games) {
  std::vector<std::array<ScheduledGame, 2>> pairs;
  for (std::size_t i = 0; i + 1 < games.size(); i += 2) pairs.push_back({games[i], games[i + 1]});
  return pairs;
}

}  // namespace

PlanCheck check_tournament_plan(const fs::path& dir, TournamentSettings& settings) {
  PlanGrowth growth = grow_plan(dir, settings);
  if (growth.grown) return PlanCheck{false, growth.drawn_seed};
  return check_plan(dir, kTournamentPlanFile, describe_plan(settings));
}

TournamentRun::TournamentRun(const TournamentSettings& settings, const fs::path& dir,
                             const PlanCheck& check)
    : dir_(dir) {
  JobFactory factory =
      start_run(settings, dir, kTournamentPlanFile, describe_plan(settings), check);
  std::vector<ScheduledGame> games = schedule_games(settings);
  PlayedPairs played = read_played_pairs(dir, settings, pairs_of(games));
  replayed_ = played.discarded;
  for (auto& [number, pair] : played.whole) {
    records_.push_back(std::move(*pair[0]));
    records_.push_back(std::move(*pair[1]));
  }
  GameSchedule schedule(std::move(games), played.numbers());
  planned_ = schedule.total().value_or(0);
  while (auto game = schedule.next()) jobs_.push_back(factory.make(*game));
}

void TournamentRun::count(const GameRecord& record) {
  tally_.add(record);
  recent_.push_back(record);
  if (recent_.size() > kLiveGames) recent_.pop_front();
}

void TournamentRun::write_live() {
  live_.field = tally_.standings();
  live_.finished = static_cast<std::size_t>(tally_.games());
  // The latest games, most recent first.
  live_.games.assign(recent_.rbegin(), recent_.rend());
  write_summary(dir_, live_);
}

RunSummary TournamentRun::play(int concurrency, std::ostream& out, bool terminal) {
  for (const auto& record : records_) count(record);
  live_.live = true;
  live_.planned = planned_;
  live_.not_built = read_not_built(dir_);
  write_live();

  ProgressDisplay display(out, terminal, static_cast<int>(planned_),
                          static_cast<int>(records_.size()));
  RunCallbacks callbacks;
  callbacks.finished = [&](const MatchJob& job, const JobOutcome& outcome) {
    if (outcome.status == JobStatus::played) {
      if (auto record = read_game_record(dir_, job.files.log())) {
        count(*record);
        records_.push_back(std::move(*record));
        write_live();
        for (const std::string& note : outcome.notes) display.note(note);
        display.game_finished(live_.field, game_line(records_.back()));
        return;
      }
      display.game_failed("game " + std::to_string(job.number) + ": no result in " +
                          job.files.log().string());
    } else if (outcome.status == JobStatus::failed) {
      display.game_failed("game " + std::to_string(job.number) + ": " + outcome.problem);
    }
  };
  callbacks.tick = [&] { display.tick(); };
  RunSummary summary = run_jobs(jobs_, concurrency, callbacks);
  display.close();
  return summary;
}

TournamentReport TournamentRun::write_final_reports() const {
  TournamentReport report = report_of(dir_, scan_game_logs(dir_), planned_);
  write_reports(dir_, report);
  return report;
}

}  // namespace arena::tournament
