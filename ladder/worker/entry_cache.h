// The built entries a worker keeps, one directory per source archive named by its SHA-256
// (CACHE/<sha256>), so that a version is downloaded and built once per machine however many
// pairs it plays. An entry lands there whole or not at all: it is unpacked and built in a
// directory of its own beside the cache and renamed into place once built, so a worker killed
// mid-build, or two workers sharing the cache, never leave half an entry under the name.
#pragma once

#include <filesystem>
#include <mutex>
#include <string>

#include "ladder/client/api_client.h"
#include "ladder/worker/arena_run.h"
#include "ladder/worker/leased_job.h"

namespace ladder::worker {

// The job was stopped (a stop signal, a lost lease) before it was done: nothing to report.
struct JobStopped {};

// The sources of `version`, downloaded (GET /api/worker/sources/SHA256) and checked against
// their SHA-256 into `file`. Throws JobError.
void download_sources(client::ApiClient& client, const LeasedVersion& version,
                      const std::filesystem::path& file);

// A fresh empty directory below `parent` ("." PURPOSE ".XXXXXX"), which others may read (players
// run as other users when the worker is root). Throws std::system_error.
std::filesystem::path make_fresh_dir(const std::filesystem::path& parent,
                                     const std::string& purpose);

// What `zarvo-arena build ENTRY` made of an entry: whether it built, its record's result and
// its build log.
struct EntryBuild {
  bool built = false;
  std::string result;     // the record's result, or why there is no record
  std::string build_log;  // the end of ENTRY/zarvo-build.log, or the arena's own output
};

// Builds `entry` in place. Throws JobStopped, or JobError when the arena could not run.
EntryBuild build_in_place(const std::filesystem::path& entry, const std::filesystem::path& scratch,
                          const StopAsked& stop_asked);

class EntryCache {
 public:
  // Makes `dir` when missing.
  explicit EntryCache(std::filesystem::path dir);

  // The built entry of `version`: the cached one, or one downloaded, unpacked and built now.
  // Throws JobError (it does not build here), or JobStopped.
  std::filesystem::path built_entry(client::ApiClient& client, const LeasedVersion& version,
                                    const StopAsked& stop_asked);

  // Moves a built entry (a build job's) into the cache, unless one is there already.
  void keep(const std::string& sources, const std::filesystem::path& entry);

  // A fresh directory in the cache, from which a built entry is renamed into place.
  std::filesystem::path fresh_dir(const std::string& purpose) const {
    return make_fresh_dir(dir_, purpose);
  }

 private:
  std::filesystem::path dir_;
  std::mutex building_;  // one build at a time in this worker: builds are heavy
};

}  // namespace ladder::worker
