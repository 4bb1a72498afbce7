// A pair job: both versions built (or taken from the cache) and two games played on the one
// tile script the job's seed gives, the second with the seats swapped, as `zarvo-arena
// tournament` plays a pair: the same match commands (arena/series/match_jobs.h) with match's
// default limits, run by the same runner (game_runner.h), which stops them on a stop signal.
// The report holds both games or none: a pair counts only whole.
#pragma once

#include <nlohmann/json.hpp>

#include "ladder/worker/job_context.h"
#include "ladder/worker/leased_job.h"

namespace ladder::worker {

// The report of kind "pair". Throws JobError when the pair could not be played here (a version
// that does not build, a game that failed), JobStopped when it was stopped.
nlohmann::json do_pair_job(const LeasedJob& job, JobContext& context);

}  // namespace ladder::worker
