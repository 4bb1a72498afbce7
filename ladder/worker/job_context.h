// What a slot hands the job it does: the connection to the server, the cache of built entries
// and the question whether to stop (a stop signal, or the lease lost).
#pragma once

#include "ladder/client/api_client.h"
#include "ladder/worker/arena_run.h"
#include "ladder/worker/entry_cache.h"

namespace ladder::worker {

struct JobContext {
  client::ApiClient& client;
  EntryCache& cache;
  std::filesystem::path work;  // where a pair's games write their files
  StopAsked stop_asked;
};

}  // namespace ladder::worker
