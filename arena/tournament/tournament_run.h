// A tournament as it plays in its directory: its plan, grown or the same as before, the games
// the plan schedules, those the directory holds already (a rerun plays only the others; a pair
// with one game finished is played again whole), the standings counted as games finish, the
// live page rewritten after each, and the final files made from the logs once the run ends.
#pragma once

#include <cstddef>
#include <deque>
#include <filesystem>
#include <ostream>
#include <vector>

#include "arena/series/game_record.h"
#include "arena/series/game_runner.h"
#include "arena/series/match_jobs.h"
#include "arena/series/plan_file.h"
#include "arena/series/tournament_plan.h"
#include "arena/tournament/standings.h"
#include "arena/tournament/tournament_reports.h"

namespace arena::tournament {

// Compares the plan `dir` records with `settings`. A tournament that grows (more games per pair,
// players added anywhere, matched by name) takes the stages it grew from into
// settings.earlier_stages and records its new plan when it starts; any other plan must be the same.
// Throws std::runtime_error naming what changed otherwise.
series::PlanCheck check_tournament_plan(const std::filesystem::path& dir,
                                        series::TournamentSettings& settings);

class TournamentRun {
 public:
  // The tournament of `settings` in `dir`, an absolute path:
  // records its plan as start_run does, reads the games played already and makes the match
  // commands of the others. Throws std::runtime_error when a player program cannot be found or
  // a file cannot be written.
  TournamentRun(const series::TournamentSettings& settings, const std::filesystem::path& dir,
                const series::PlanCheck& check);

  std::size_t planned() const { return planned_; }
  // The games finished: before the run, then also those it played.
  std::size_t finished() const { return records_.size(); }
  // Finished games of half-played pairs, removed to be played again with their partner.
  int replayed() const { return replayed_; }
  // The commands of the games left to play, in order.
  const std::vector<series::MatchJob>& jobs() const { return jobs_; }

  // Plays the games left, `concurrency` at a time, until all are played or a stop signal
  // comes; shows them on `out` as ProgressDisplay does and rewrites the live page after each.
  series::RunSummary play(int concurrency, std::ostream& out, bool terminal);

  // Writes the final files from the logs alone, as `zarvo-arena standings` makes them.
  TournamentReport write_final_reports() const;

 private:
  void count(const series::GameRecord& record);
  void write_live();

  std::filesystem::path dir_;
  std::size_t planned_ = 0;
  int replayed_ = 0;
  std::vector<series::GameRecord> records_;
  std::vector<series::MatchJob> jobs_;
  StandingsTally tally_;
  std::deque<series::GameRecord> recent_;  // the latest games for the live page, oldest first
  TournamentReport live_;
};

}  // namespace arena::tournament
