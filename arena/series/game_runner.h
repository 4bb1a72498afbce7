// Runs match commands as child processes, a given number at a time. SIGINT,
// SIGTERM and SIGHUP stop the run cleanly: no new game starts, every running
// match is asked to end (it takes its referee and players down with it) and is
// waited for, so no process is left behind.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "arena/series/match_jobs.h"

namespace arena::series {

enum class JobStatus {
  played,   // the match exited 0: its game is finished
  failed,   // the match ended otherwise: its game is unfinished, `problem` says why
  stopped,  // the run was stopped while the game played: it is played again on a rerun
};

struct JobOutcome {
  JobStatus status = JobStatus::failed;
  std::string problem;  // a failed game: what went wrong, for the user
  // A played game: why a player was disqualified, in a few lines (see short_notes).
  std::vector<std::string> notes;
};

struct RunSummary {
  int played = 0;
  int failed = 0;
  int stop_signal = 0;  // the signal that stopped the run, or 0
};

struct RunCallbacks {
  std::function<void(const MatchJob&, const JobOutcome&)> finished;
  std::function<void()> tick;  // about once a second while games run
  // Asked after every finished game: true ends the run as a signal would (no new game, the
  // running ones stopped and counted as unfinished), without a stop signal in the summary.
  std::function<bool()> done;
};

// Hands out the games to play one at a time, when a place is free; nothing when there is no
// game left to start.
using JobSource = std::function<std::optional<MatchJob>()>;

// Each match's standard error goes to "<name1>-<name2>.<id>.arena.err" beside
// the log, kept only when the match failed; its standard output (the result line)
// is not needed, the log holds the result. A game whose match did not end with
// status 0 must count as unfinished even when the referee had written its
// report before the match was stopped: its log is removed (stopped games) or
// renamed to "<log>.failed" (failed games, kept for diagnosis).
RunSummary run_jobs(const JobSource& next_job, int concurrency, const RunCallbacks& callbacks);
RunSummary run_jobs(const std::vector<MatchJob>& jobs, int concurrency,
                    const RunCallbacks& callbacks);

}  // namespace arena::series
