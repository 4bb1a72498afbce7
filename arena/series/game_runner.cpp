#include "arena/series/game_runner.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <system_error>

#include "arena/game/game_files.h"
#include "arena/game/game_notes.h"
#include "arena/game/printable_text.h"
#include "arena/match/limit_warnings.h"
#include "arena/process/child_process.h"
#include "arena/process/stop_signals.h"
#include "arena/system/bounded_read.h"

namespace arena::series {
namespace fs = std::filesystem;

namespace {

// How long a stopped match may take to take down its game before it is killed
// outright.
constexpr auto kStopGrace = std::chrono::seconds(10);
constexpr int kTickMs = 1000;

struct RunningGame {
  MatchJob job;
  fs::path error_file;
  std::unique_ptr<ChildProcess> process;
};

RunningGame start(MatchJob job) {
  fs::path error_file = job.files.match_errors();
  RunningGame game{std::move(job), std::move(error_file), nullptr};
  SpawnRequest request;
  request.program = game.job.argv[0];
  request.args = game.job.argv;
  request.error_file = game.error_file;
  game.process = std::make_unique<ChildProcess>(request);
  return game;
}

// The first line of a failed match's standard error after the line about the sandbox's limits.
std::string first_line_of(const fs::path& file) {
  constexpr std::size_t kLimit = 300;
  constexpr std::size_t kLimitsLine = 200;
  std::string text = read_head(file, kLimitsLine + kLimit + 1);
  if (text.starts_with("zarvo-arena match: " + std::string(kLimitedHere))) {
    const std::size_t end = text.find('\n');
    text = end == std::string::npos ? "" : text.substr(end + 1);
  }
  text = text.substr(0, text.find('\n'));
  if (text.size() > kLimit) text = text.substr(0, kLimit) + "...";
  return text;
}

JobOutcome finish(RunningGame& game, bool stopped) {
  ExitStatus status = game.process->reap();
  JobOutcome outcome;
  std::error_code error;
  if (status.success()) {
    outcome.status = JobStatus::played;
    // Why a player was disqualified is in the game's notes, which the match wrote beside its
    // files; shortened here for the terminal. What the match said on standard error is in the
    // game's log and the players' error files already.
    constexpr std::size_t kNoteWidth = 160;
    const std::string prefix = "game " + std::to_string(game.job.number) + ": ";
    try {
      outcome.notes = short_notes(read_game_notes(game.job.files.notes()), prefix, kNoteWidth);
    } catch (const GameNotesError& unreadable) {
      outcome.notes = {printable(prefix + unreadable.what(), kNoteWidth)};
    }
    fs::remove(game.error_file, error);
    return outcome;
  }
  if (stopped) {
    outcome.status = JobStatus::stopped;
    // The game is played again from the start: its files would only mislead.
    remove_game_files(game.job.files);
  } else {
    // Kept for diagnosis under a name that no longer counts as a game log.
    fs::rename(game.job.files.log(), game.job.files.failed_log(), error);
    std::string reason = first_line_of(game.error_file);
    outcome.problem = "match ended with " + status.describe() +
                      (reason.empty() ? "" : ": " + reason) + " (see " + game.error_file.string() +
                      ")";
  }
  return outcome;
}

// Asks every running match to end, then waits; a match that does not end in
// time is killed with its process group (its own children are killed by the
// kernel when it dies).
void stop_all(std::vector<RunningGame>& running, const RunCallbacks& callbacks) {
  for (auto& game : running) ::kill(game.process->pid(), SIGTERM);
  TimePoint deadline = Clock::now() + kStopGrace;
  for (auto& game : running) {
    if (!game.process->wait_exit(deadline)) game.process->kill_group();
    JobOutcome outcome = finish(game, true);
    if (callbacks.finished) callbacks.finished(game.job, outcome);
  }
  running.clear();
}

}  // namespace

RunSummary run_jobs(const JobSource& next_job, int concurrency, const RunCallbacks& callbacks) {
  catch_stop_signals(OnStopSignal::kRecord);
  RunSummary summary;
  std::vector<RunningGame> running;
  bool source_empty = false;
  auto next_tick = Clock::now() + Milliseconds(kTickMs);

  // Whatever goes wrong here (a match that cannot be started), the running matches are asked
  // to stop and waited for, so that each cleans up after its game.
  try {
    while (true) {
      bool done = callbacks.done && callbacks.done();
      while (!done && !stop_signal_received() && !source_empty &&
             static_cast<int>(running.size()) < concurrency) {
        std::optional<MatchJob> job = next_job();
        if (!job) {
          source_empty = true;
          break;
        }
        running.push_back(start(std::move(*job)));
      }
      if (stop_signal_received() || done) {
        stop_all(running, callbacks);
        break;
      }
      if (running.empty()) break;

      std::vector<pollfd> fds{{stop_signal_fd(), POLLIN, 0}};
      bool all_have_fds = true;
      for (auto& game : running) {
        int fd = game.process->exit_fd();
        if (fd >= 0) fds.push_back({fd, POLLIN, 0});
        all_have_fds = all_have_fds && fd >= 0;
      }
      int timeout = all_have_fds ? poll_timeout(next_tick) : std::min(poll_timeout(next_tick), 20);
      ::poll(fds.data(), fds.size(), timeout);

      for (auto it = running.begin(); it != running.end();) {
        if (!it->process->exited()) {
          ++it;
          continue;
        }
        JobOutcome outcome = finish(*it, false);
        ++(outcome.status == JobStatus::played ? summary.played : summary.failed);
        if (callbacks.finished) callbacks.finished(it->job, outcome);
        it = running.erase(it);
      }
      if (Clock::now() >= next_tick) {
        next_tick = Clock::now() + Milliseconds(kTickMs);
        if (callbacks.tick) callbacks.tick();
      }
    }
  } catch (...) {
    stop_all(running, callbacks);
    throw;
  }
  summary.stop_signal = stop_signal_received();
  return summary;
}

RunSummary run_jobs(const std::vector<MatchJob>& jobs, int concurrency,
                    const RunCallbacks& callbacks) {
  std::size_t next = 0;
  return run_jobs(
      [&]() -> std::optional<MatchJob> {
        if (next == jobs.size()) return std::nullopt;
        return jobs[next++];
      },
      concurrency, callbacks);
}

}  // namespace arena::series
