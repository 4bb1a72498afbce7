// An SPRT test as it plays in its directory: its plan, the pairs handed out in order while
// their games may finish in any order (counted in order by InOrderPairs), the pairs a stopped
// run left (counted again on a rerun), the progress line and DIR/sprt.json after each pair,
// and, once the test has decided, the removal of the games of later pairs.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "arena/game/game_files.h"
#include "arena/series/game_runner.h"
#include "arena/series/game_schedule.h"
#include "arena/series/match_jobs.h"
#include "arena/series/tournament_plan.h"
#include "arena/sprt/in_order_pairs.h"
#include "arena/sprt/sprt_report.h"
#include "arena/stats/sprt.h"

namespace arena::sprt {

// The text that identifies the test of `settings` (its two players, A then B, their seed and
// match options) in its directory; --max-pairs and --concurrency are left out, as they change
// neither the games nor the decision of a pair already played.
std::string describe_sprt(const series::TournamentSettings& settings,
                          const stats::SprtParameters& parameters);

class SprtRun {
 public:
  // The test of `settings` (which must outlive the run) in `dir`, an absolute path: checks and
  // records its plan, then counts the pairs played already and writes sprt.json. Progress lines
  // go to `out`, rewritten in place on a terminal. Throws std::runtime_error when `dir` holds
  // another plan, a player program cannot be found or a file cannot be written.
  SprtRun(const series::TournamentSettings& settings, const stats::SprtParameters& parameters,
          std::optional<long long> max_pairs, const std::filesystem::path& dir, std::ostream& out,
          bool terminal);

  // The pairs counted before any game was played.
  long long resumed() const { return resumed_; }

  // Plays pairs, `concurrency` games at a time, until the test decides, reaches its limit, a
  // game cannot be played or a stop signal comes.
  series::RunSummary play(int concurrency);

  bool decided() const { return count_.decided(); }
  bool at_limit() const { return count_.at_limit(); }
  bool failed() const { return failed_; }
  const SprtReport& report() const { return report_; }
  void show();  // the progress line

 private:
  std::optional<series::MatchJob> next_job();
  void game_finished(const series::MatchJob& job, const series::JobOutcome& outcome);
  void fail(const std::string& problem);
  void count_ready(bool show_progress);
  std::set<int> resume();
  std::vector<std::pair<long long, GameFiles>> our_games() const;
  void drop_later_pairs();

  const series::TournamentSettings& settings_;
  std::optional<long long> max_pairs_;
  std::filesystem::path dir_;
  std::ostream& out_;
  bool terminal_;
  series::JobFactory factory_;
  InOrderPairs count_;
  SprtReport report_;
  long long resumed_ = 0;
  bool failed_ = false;
  series::GameSchedule schedule_;  // made last: it needs the pairs that resume() counted
};

}  // namespace arena::sprt
