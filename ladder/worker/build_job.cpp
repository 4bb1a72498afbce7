#include "ladder/worker/build_job.h"

#include <sys/stat.h>

#include "arena/system/bounded_read.h"
#include "ladder/archive/entry_archive.h"

namespace ladder::worker {

namespace fs = std::filesystem;

namespace {

nlohmann::json build_report(const LeasedJob& job, bool built, bool passed,
                            const std::string& reason, const std::string& log) {
  return {{"lease", job.lease},
          {"job", job.id},
          {"kind", "build"},
          {"built", built},
          {"passed", passed},
          {"reason", reason.empty() ? nlohmann::json() : nlohmann::json(report_reason(reason))},
          {"build_log", log}};
}

// What `zarvo-arena check` says of a failed player: its "FAILED  NAME  PROBLEM" line and the
// lines of standard error after it.
std::string check_problem(const std::string& output) {
  const std::size_t failed = output.rfind("\nFAILED  ");
  const std::size_t start = failed == std::string::npos ? output.find("FAILED  ") : failed + 1;
  if (start == std::string::npos) return "";
  std::string line = output.substr(start + 8, output.find('\n', start) - start - 8);
  // NAME, then two spaces, then the problem.
  const std::size_t gap = line.find("  ");
  return gap == std::string::npos ? line : line.substr(gap + 2);
}

// Runs the check of the built `entry`; an empty string when it passed, else the problem.
std::string check_entry(const fs::path& entry, const fs::path& scratch, const StopAsked& stop) {
  ArenaRun run;
  try {
    run = run_arena({"check", entry.string()}, scratch / "check.err", stop);
  } catch (const std::exception& error) {
    throw JobError(std::string("zarvo-arena check could not be started: ") + error.what());
  }
  if (run.stopped) throw JobStopped{};
  if (run.status.success()) return "";
  const std::string problem = check_problem(run.output);
  if (run.status.signaled || run.status.value != 1 || problem.empty()) {
    throw JobError("zarvo-arena check ended with " + run.status.describe() + ": " +
                   arena::read_tail(scratch / "check.err", 2000));
  }
  return "the check failed: " + problem;
}

}  // namespace

nlohmann::json do_build_job(const LeasedJob& job, JobContext& context) {
  const LeasedVersion& version = job.versions.at(0);
  const fs::path scratch = context.cache.fresh_dir("build");
  struct Remove {
    fs::path dir;
    ~Remove() {
      std::error_code ignored;
      fs::remove_all(dir, ignored);
    }
  } remove{scratch};
  const fs::path entry = scratch / "entry";
  download_sources(context.client, version, scratch / "sources.tar.gz");
  fs::create_directory(entry);
  ::chmod(entry.c_str(), 0755);
  try {
    archive::unpack_archive(scratch / "sources.tar.gz", entry, archive::Limits{});
  } catch (const archive::Refusal& refused) {
    return build_report(job, false, false, refused.what(), "");
  }
  const EntryBuild build = build_in_place(entry, scratch, context.stop_asked);
  if (!build.built) return build_report(job, false, false, build.result, build.build_log);
  const std::string problem = check_entry(entry, scratch, context.stop_asked);
  if (problem.empty()) context.cache.keep(version.sources, entry);
  return build_report(job, true, problem.empty(), problem, build.build_log);
}

}  // namespace ladder::worker
