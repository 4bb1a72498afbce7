#include "ladder/server/worker_routes.h"

#include <ctime>

#include "arena/system/bounded_read.h"
#include "ladder/server/http_answers.h"
#include "ladder/server/matchmaking.h"
#include "ladder/server/report_reader.h"
#include "ladder/store/jobs.h"
#include "ladder/store/secrets.h"

namespace ladder::server {

namespace {

using nlohmann::json;

constexpr std::size_t kSmallBody = 64 * 1024;

json version_json(const store::VersionRef& v) {
  return {{"version_id", v.version_id},
          {"entrant", v.entrant},
          {"number", v.number},
          {"sources", v.sources}};
}

json job_json(const LadderContext& context, const store::LeasedJob& job) {
  json body = {{"id", job.id},
               {"lease", job.lease},
               {"attempt", job.attempt},
               {"lease_seconds", context.options.lease_seconds},
               {"heartbeat_seconds", context.options.heartbeat_seconds}};
  if (job.build) {
    body["kind"] = "build";
    body["version"] = version_json(job.players.at(0));
  } else {
    body["kind"] = "pair";
    body["ranked"] = job.ranked;
    body["final"] = job.final;
    body["seed"] = job.seed;
    body["players"] = {version_json(job.players.at(0)), version_json(job.players.at(1))};
  }
  return body;
}

void lease(LadderContext& context, const httplib::Request& req, httplib::Response& res) {
  auto worker = require_caller(context.db, req, store::Role::kWorker);
  json body = json_body(req, kSmallBody);
  std::string slot = string_field(body, "slot", 200);
  if (slot.empty()) throw HttpError(400, "\"slot\" must not be empty");
  std::int64_t now = std::time(nullptr);
  store::expire_leases(context.db, now);
  auto job = store::lease_job(context.db, worker.id, slot, context.options.lease_seconds, now);
  if (!job || !job->build) {
    // The slot counts now: the queue grows to meet it and the next call finds pairs.
    context.matchmaking.top_up(now);
    if (!job)
      job = store::lease_job(context.db, worker.id, slot, context.options.lease_seconds, now);
  }
  send_json(res, 200, {{"job", job ? job_json(context, *job) : json(nullptr)}});
}

std::string lease_of(const httplib::Request& req) {
  return string_field(json_body(req, kSmallBody), "lease", 64);
}

void not_held(httplib::Response& res) {
  send_error(res, 409, "this lease is no longer yours: drop the job and lease another");
}

void report(LadderContext& context, const httplib::Request& req, httplib::Response& res) {
  auto worker = require_caller(context.db, req, store::Role::kWorker);
  ReadReport read = read_report(json_body(req, context.options.max_report_bytes));
  std::int64_t now = std::time(nullptr);
  auto answer =
      store::apply_report(context.db, context.dir, worker.id, read.lease, read.report, now);
  switch (answer.outcome) {
    case store::ReportOutcome::kApplied:
      send_json(res, 200, {{"ok", true}});
      context.matchmaking.top_up(now);
      return;
    case store::ReportOutcome::kDuplicate:
      send_json(res, 200, {{"ok", true}, {"duplicate", true}});
      return;
    case store::ReportOutcome::kNotHeld: not_held(res); return;
    case store::ReportOutcome::kMismatch: send_error(res, 400, answer.problem); return;
  }
}

}  // namespace

void add_worker_routes(httplib::Server& server, LadderContext& context) {
  server.Post("/api/worker/lease",
              guarded([&](const auto& req, auto& res) { lease(context, req, res); }));
  server.Get(R"(/api/worker/sources/([0-9a-f]{64}))", guarded([&](const auto& req, auto& res) {
               require_caller(context.db, req, store::Role::kWorker);
               auto file = context.dir.sources(req.matches[1].str());
               if (!std::filesystem::is_regular_file(file)) throw HttpError(404, "no such sources");
               res.set_content(arena::read_head(file, context.options.max_packed_bytes),
                               "application/gzip");
             }));
  server.Post("/api/worker/heartbeat", guarded([&](const auto& req, auto& res) {
                auto worker = require_caller(context.db, req, store::Role::kWorker);
                if (!store::renew_lease(context.db, worker.id, lease_of(req),
                                        context.options.lease_seconds, std::time(nullptr))) {
                  return not_held(res);
                }
                send_json(res, 200, {{"ok", true}});
              }));
  server.Post("/api/worker/return", guarded([&](const auto& req, auto& res) {
                auto worker = require_caller(context.db, req, store::Role::kWorker);
                if (!store::return_lease(context.db, worker.id, lease_of(req)))
                  return not_held(res);
                send_json(res, 200, {{"ok", true}});
              }));
  server.Post("/api/worker/report",
              guarded([&](const auto& req, auto& res) { report(context, req, res); }));
}

}  // namespace ladder::server
