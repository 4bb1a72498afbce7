// A build job: one version's sources downloaded, unpacked and built as `zarvo-arena build`
// builds an entry, then checked as `zarvo-arena check` checks a player (one game against the
// sample random bot). The report says whether it built, whether it passed, why not, and the
// build's log. A version that built and passed stays in the cache for its pairs.
#pragma once

#include <nlohmann/json.hpp>

#include "ladder/worker/job_context.h"
#include "ladder/worker/leased_job.h"

namespace ladder::worker {

// The report of kind "build". Throws JobError when the job could not be done here, JobStopped
// when it was stopped.
nlohmann::json do_build_job(const LeasedJob& job, JobContext& context);

}  // namespace ladder::worker
