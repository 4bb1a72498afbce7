// A worker's report as the store takes it, read from the JSON of POST /api/worker/report with
// every field checked: its type, its range and its length. The texts of a game (log, replay,
// turns, usage, error files) are bounded only by the body's cap.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "ladder/store/job_reports.h"

namespace ladder::server {

struct ReadReport {
  std::string lease;
  store::JobReport report;
};

// Throws HttpError 400 naming what is wrong.
ReadReport read_report(const nlohmann::json& body);

}  // namespace ladder::server
