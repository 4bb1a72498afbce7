#include "ladder/worker/worker_loop.h"

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <mutex>
#include <thread>
#include <vector>

#include "arena/process/stop_signals.h"
#include "ladder/worker/build_job.h"
#include "ladder/worker/heartbeat.h"
#include "ladder/worker/pair_job.h"

namespace ladder::worker {

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr seconds kIdlePause{2};
constexpr seconds kLongestPause{60};
constexpr int kReportTries = 8;

std::mutex log_mutex;

template <typename... Parts>
void log(const Parts&... parts) {
  std::lock_guard lock(log_mutex);
  (std::cout << ... << parts) << std::endl;
}

std::string host_name() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "worker";
  return name;
}

struct Shared {
  const WorkerSettings& settings;
  EntryCache cache;
  StopRequest stop;
  std::atomic<int> status{0};
};

// Sends `body` to `path` until an answer comes, waiting longer after each lost connection;
// nothing when kReportTries connections were lost.
std::optional<client::Reply> post_patiently(client::ApiClient& client, const std::string& path,
                                            const nlohmann::json& body, StopRequest& stop) {
  milliseconds pause = seconds(1);
  for (int attempt = 1; attempt <= kReportTries; ++attempt) {
    try {
      return client.post_json(path, body);
    } catch (const client::ConnectionError& error) {
      log(path, ": ", error.what());
      // Once stopping, a few quick tries: the server takes the job back when its lease expires.
      if (stop.requested() && attempt >= 3) return std::nullopt;
      std::this_thread::sleep_for(pause);
      pause = std::min<milliseconds>(pause * 2, kLongestPause);
    }
  }
  return std::nullopt;
}

nlohmann::json error_report(const LeasedJob& job, const std::string& reason) {
  return {
      {"lease", job.lease}, {"job", job.id}, {"kind", "error"}, {"reason", report_reason(reason)}};
}

void send_report(client::ApiClient& client, const LeasedJob& job, nlohmann::json report,
                 Shared& shared) {
  std::optional<client::Reply> reply =
      post_patiently(client, "/api/worker/report", report, shared.stop);
  if (reply && reply->status == 413) {
    reply =
        post_patiently(client, "/api/worker/report",
                       error_report(job, "the job's report is over the server's cap"), shared.stop);
  }
  if (!reply) {
    log("job ", job.id, ": the report could not be sent; the job goes back when its lease ends");
  } else if (reply->status == 409) {
    log("job ", job.id, ": the report came too late, the lease is no longer ours");
  } else if (!reply->ok()) {
    log("job ", job.id, ": the report was refused: ", reply->error());
  } else {
    log("job ", job.id, ": reported (", report.value("kind", ""), ")");
  }
}

// Does one leased job and reports it, gives it back, or abandons it.
void do_job(client::ApiClient& client, const nlohmann::json& offered, Shared& shared) {
  LeasedJob job;
  try {
    job = read_leased_job(offered, job);
  } catch (const JobError& unreadable) {
    log("a job that does not read: ", unreadable.what());
    if (!job.lease.empty()) send_report(client, job, error_report(job, unreadable.what()), shared);
    return;
  }
  log("job ", job.id, ": ", job.kind, " of ", version_label(job.versions[0]),
      job.kind == "pair" ? " and " + version_label(job.versions[1]) : "", ", attempt ",
      job.attempt);
  Heartbeat heartbeat(shared.settings.server, shared.settings.token, job.lease,
                      seconds(job.heartbeat_seconds));
  JobContext context{client, shared.cache, shared.settings.work,
                     [&] { return shared.stop.requested() || heartbeat.lost(); }};
  nlohmann::json report;
  try {
    report = job.kind == "build" ? do_build_job(job, context) : do_pair_job(job, context);
  } catch (const JobStopped&) {
  } catch (const std::exception& error) {
    report = error_report(job, error.what());
  }
  if (heartbeat.lost()) {
    log("job ", job.id, ": the lease was lost (it expired), the job is abandoned");
    return;
  }
  if (report.is_null()) {
    const auto reply =
        post_patiently(client, "/api/worker/return", {{"lease", job.lease}}, shared.stop);
    log("job ", job.id, reply && reply->ok() ? ": given back" : ": could not be given back");
    return;
  }
  send_report(client, job, std::move(report), shared);
}

void run_slot(Shared& shared, const std::string& slot) {
  client::ApiClient client(shared.settings.server, shared.settings.token);
  milliseconds pause = seconds(1);
  while (!shared.stop.requested()) {
    std::optional<client::Reply> reply;
    try {
      reply = client.post_json("/api/worker/lease", {{"slot", slot}});
    } catch (const client::ConnectionError& error) {
      log(slot, ": ", error.what(), "; trying again in ", pause.count() / 1000, " s");
    }
    if (reply && (reply->status == 401 || reply->status == 403)) {
      log(slot, ": the server refuses this worker: ", reply->error());
      shared.status = 2;
      shared.stop.request();
      return;
    }
    if (reply && !reply->ok()) log(slot, ": lease refused: ", reply->error());
    if (!reply || !reply->ok()) {
      shared.stop.wait_for(pause);
      pause = std::min<milliseconds>(pause * 2, kLongestPause);
      continue;
    }
    pause = seconds(1);
    nlohmann::json job;
    try {
      job = reply->json().value("job", nlohmann::json());
    } catch (const client::ConnectionError& error) {
      log(slot, ": ", error.what());
    }
    if (job.is_null()) {
      shared.stop.wait_for(kIdlePause);
      continue;
    }
    do_job(client, job, shared);
  }
}

}  // namespace

int run_worker(const WorkerSettings& settings) {
  arena::catch_stop_signals(arena::OnStopSignal::kRecord);
  std::filesystem::create_directories(settings.work);
  Shared shared{settings, EntryCache(settings.cache), {}, {}};
  const std::string prefix = host_name() + "-" + std::to_string(::getpid()) + "/";
  log("worker ", prefix, " on ", settings.server, " with ", settings.concurrency,
      settings.concurrency == 1 ? " slot" : " slots");
  std::vector<std::thread> slots;
  for (int i = 0; i < settings.concurrency; ++i) {
    slots.emplace_back([&shared, slot = prefix + std::to_string(i)] { run_slot(shared, slot); });
  }
  while (!shared.stop.requested()) {
    pollfd signal{arena::stop_signal_fd(), POLLIN, 0};
    if (::poll(&signal, 1, 500) > 0 || arena::stop_signal_received()) shared.stop.request();
  }
  if (int sig = arena::stop_signal_received()) log("signal ", sig, ": stopping");
  for (std::thread& slot : slots) slot.join();
  log("stopped");
  return shared.status;
}

}  // namespace ladder::worker
