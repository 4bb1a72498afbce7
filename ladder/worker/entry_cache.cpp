#include "ladder/worker/entry_cache.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <system_error>

#include "arena/entry/entry_file.h"
#include "arena/system/bounded_read.h"
#include "ladder/archive/archive_digest.h"
#include "ladder/archive/entry_archive.h"

namespace ladder::worker {

namespace fs = std::filesystem;

namespace {

// The packed cap the server takes is well below this.
constexpr std::size_t kMaxSources = 64u << 20;
constexpr std::size_t kKeptBuildLog = 512 * 1024;

void remove_quietly(const fs::path& path) {
  std::error_code ignored;
  fs::remove_all(path, ignored);
}

}  // namespace

void download_sources(client::ApiClient& client, const LeasedVersion& version,
                      const fs::path& file) {
  client::Reply reply;
  try {
    reply = client.get("/api/worker/sources/" + version.sources, kMaxSources);
  } catch (const client::ConnectionError& error) {
    throw JobError("the sources of " + version_label(version) +
                   " could not be fetched: " + error.what());
  }
  if (!reply.ok()) {
    throw JobError("the sources of " + version_label(version) +
                   " could not be fetched: " + reply.error());
  }
  if (archive::sha256_hex(reply.body) != version.sources) {
    throw JobError("the sources fetched for " + version_label(version) +
                   " do not have the SHA-256 the job names");
  }
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reply.body.data(), static_cast<std::streamsize>(reply.body.size()));
  out.close();
  if (!out) throw JobError("cannot write " + file.string());
}

EntryBuild build_in_place(const fs::path& entry, const fs::path& scratch,
                          const StopAsked& stop_asked) {
  ArenaRun run;
  try {
    run = run_arena({"build", entry.string()}, scratch / "build.err", stop_asked);
  } catch (const std::exception& error) {
    throw JobError(std::string("zarvo-arena build could not be started: ") + error.what());
  }
  if (run.stopped) throw JobStopped{};
  EntryBuild build;
  std::optional<arena::entry::EntryRecord> record;
  try {
    record = arena::entry::read_entry_record(entry);
  } catch (const std::exception& error) {
    build.result = error.what();
  }
  const fs::path log = entry / arena::entry::kBuildLog;
  std::error_code error;
  build.build_log = fs::exists(log, error) ? arena::read_tail(log, kKeptBuildLog) : run.output;
  if (!record) {
    if (build.result.empty()) {
      build.result =
          "the build ended without a record (zarvo-arena build: " + run.status.describe() + ")";
    }
    if (run.status.signaled || run.status.value > 1) {
      throw JobError(build.result + ": " + arena::read_tail(scratch / "build.err", 2000));
    }
    return build;
  }
  build.built = record->ok();
  build.result = record->result;
  return build;
}

EntryCache::EntryCache(fs::path dir) : dir_(std::move(dir)) {
  fs::create_directories(dir_);
  // Players run as other users when the worker is root: they must reach their entries.
  fs::permissions(dir_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
}

fs::path make_fresh_dir(const fs::path& parent, const std::string& purpose) {
  std::string pattern = (parent / ("." + purpose + ".XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "cannot make " + pattern);
  }
  ::chmod(pattern.c_str(), 0755);
  return pattern;
}

void EntryCache::keep(const std::string& sources, const fs::path& entry) {
  if (!archive::is_sha256_hex(sources)) return;
  std::error_code error;
  fs::rename(entry, dir_ / sources, error);  // fails when another took the name first: fine
}

fs::path EntryCache::built_entry(client::ApiClient& client, const LeasedVersion& version,
                                 const StopAsked& stop_asked) {
  const fs::path cached = dir_ / version.sources;
  std::lock_guard lock(building_);
  if (arena::entry::is_entry(cached)) return cached;
  const fs::path scratch = fresh_dir("build");
  try {
    const fs::path entry = scratch / "entry";
    download_sources(client, version, scratch / "sources.tar.gz");
    fs::create_directory(entry);
    ::chmod(entry.c_str(), 0755);
    try {
      archive::unpack_archive(scratch / "sources.tar.gz", entry, archive::Limits{});
    } catch (const archive::Refusal& refused) {
      throw JobError("the sources of " + version_label(version) +
                     " are refused: " + refused.what());
    }
    const EntryBuild build = build_in_place(entry, scratch, stop_asked);
    if (!build.built) {
      throw JobError(version_label(version) + " does not build on this worker: " + build.result);
    }
    keep(version.sources, entry);
  } catch (...) {
    remove_quietly(scratch);
    throw;
  }
  remove_quietly(scratch);
  if (!arena::entry::is_entry(cached)) {
    throw JobError("the built entry of " + version_label(version) + " vanished from the cache");
  }
  return cached;
}

}  // namespace ladder::worker
