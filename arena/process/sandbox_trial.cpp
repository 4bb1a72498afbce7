#include "arena/process/sandbox_trial.h"

#include <chrono>
#include <optional>
#include <system_error>
#include <vector>

#include "arena/process/child_process.h"
#include "arena/process/line_reader.h"
#include "arena/sandbox/sandbox_policy.h"
#include "arena/sandbox/user_leases.h"
#include "arena/system/bounded_read.h"
#include "arena/system/scratch_dir.h"

namespace arena {
using namespace arena::sandbox;
namespace fs = std::filesystem;

namespace {

constexpr auto kPatience = std::chrono::seconds(10);

// The start of what bwrap said on standard error, without its trailing line breaks.
std::string first_part(const fs::path& file) {
  std::string text = read_head(file, 2000);
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

}  // namespace

std::string bwrap_version(const fs::path& bwrap) {
  try {
    SpawnRequest request;
    request.program = bwrap;
    request.args = {bwrap.string(), "--version"};
    request.pipe_output = true;
    ChildProcess child(request);
    LineReader reader(child.take_output(), 200);
    std::string line;
    ReadStatus status = reader.read_line(line, Clock::now() + kPatience);
    child.wait_exit(Clock::now() + kPatience);
    child.kill_group();
    child.reap();
    return status == ReadStatus::kLine ? line : "(no version printed)";
  } catch (const std::exception& error) {
    return std::string("(cannot run it: ") + error.what() + ")";
  }
}

TrialStart trial_start(const HostSupport& host) {
  TrialStart trial;
  std::optional<ScratchDir> scratch;
  try {
    scratch.emplace("zarvo-check.");
  } catch (const std::system_error&) {
    return {false, "cannot make a scratch directory"};
  }
  try {
    fs::path work = scratch->path() / "player";
    fs::create_directory(work);
    fs::permissions(scratch->path(), fs::perms::owner_all | fs::perms::group_read |
                                         fs::perms::group_exec | fs::perms::others_read |
                                         fs::perms::others_exec);
    fs::permissions(work, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    Policy policy;
    policy.workdir = work;
    policy.limits.processes = kDefaultProcessLimit;
    policy.limits.memory_mb = 256;
    std::vector<UserLease> user;
    if (host.root) {
      user = lease_users(UserRange{}, 1, Clock::now() + kPatience);
      policy.identity = user.front().identity();
    }
    fs::path errors_file = scratch->path() / "errors";
    SpawnRequest request;
    request.program = fs::exists("/usr/bin/true") ? "/usr/bin/true" : "/bin/true";
    request.args = {"true"};
    request.error_file = errors_file;
    request.sandbox = policy;
    auto started = Clock::now();
    ChildProcess child(request);
    auto status = child.wait_exit(started + kPatience);
    auto took = std::chrono::duration_cast<Milliseconds>(Clock::now() - started);
    child.kill_group();
    ExitStatus end = child.reap();
    if (!status) return {false, "bwrap did not end within 10 s"};
    if (!end.success()) {
      return {false, "bwrap ended with " + end.describe() + ": " + first_part(errors_file)};
    }
    trial.ran = true;
    trial.detail = "bwrap ... /bin/true ran in " + std::to_string(took.count()) + " ms";
    if (!host.cgroups.cpu.empty()) {
      trial.detail +=
          ", its control groups counted " + std::to_string(child.cpu_time().count()) + " ms of CPU";
    }
  } catch (const std::exception& error) {
    return {false, error.what()};
  }
  return trial;
}

}  // namespace arena
