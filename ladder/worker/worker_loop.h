// The worker's slots: each leases one job at a time, keeps its lease alive with a heartbeat,
// does it and reports it, until the worker is told to stop. A lost connection is waited out
// with a growing pause; a lease found gone (409) abandons its job; on SIGTERM or SIGINT no job
// is leased any more, the running builds and games are ended by the arena's stop handling, and
// each held lease is given back (POST /api/worker/return) so that another worker takes the job
// at once, without using one of its attempts.
#pragma once

#include <filesystem>
#include <string>

namespace ladder::worker {

struct WorkerSettings {
  std::string server;
  std::string token;
  int concurrency = 1;
  std::filesystem::path cache;  // the built entries (see entry_cache.h)
  std::filesystem::path work;   // the games' files, until they are reported
};

// Returns the exit status: 0 after a stop signal, 2 when the server refuses the worker's token.
int run_worker(const WorkerSettings& settings);

}  // namespace ladder::worker
