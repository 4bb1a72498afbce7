#include "arena/tournament/game_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <system_error>

#include "arena/child_process.h"
#include "arena/unique_fd.h"

namespace arena::tournament {
namespace fs = std::filesystem;

namespace {

// How long a stopped match may take to take down its game before it is killed
// outright.
constexpr auto kStopGrace = std::chrono::seconds(10);
constexpr int kTickMs = 1000;

std::atomic<int> stop_signal{0};
std::atomic<int> wake_fd{-1};

extern "C" void on_stop(int sig) {
  stop_signal.store(sig);
  int fd = wake_fd.load();
  if (fd >= 0) {
    char byte = 0;
    [[maybe_unused]] auto ignored = ::write(fd, &byte, 1);
  }
}

// Catches SIGINT, SIGTERM and SIGHUP (a closed terminal) for the lifetime of
// the object, waking the run through a pipe.
class StopSignals {
 public:
  StopSignals() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
      throw std::system_error(errno, std::generic_category(), "pipe");
    read_end_.reset(fds[0]);
    write_end_.reset(fds[1]);
    stop_signal.store(0);
    wake_fd.store(fds[1]);
    struct sigaction action {};
    action.sa_handler = on_stop;
    sigemptyset(&action.sa_mask);
    // A signal ignored when the tournament started (nohup) stays ignored.
    install(SIGINT, action, old_int_);
    install(SIGTERM, action, old_term_);
    install(SIGHUP, action, old_hup_);
  }
  static void install(int sig, const struct sigaction& action, struct sigaction& old) {
    ::sigaction(sig, nullptr, &old);
    if (old.sa_handler != SIG_IGN) ::sigaction(sig, &action, nullptr);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
  ~StopSignals() {
    ::sigaction(SIGINT, &old_int_, nullptr);
    ::sigaction(SIGTERM, &old_term_, nullptr);
    ::sigaction(SIGHUP, &old_hup_, nullptr);
    wake_fd.store(-1);
  }
  int fd() const { return read_end_.get(); }

 private:
  UniqueFd read_end_, write_end_;
  struct sigaction old_int_ {
  }, old_term_{}, old_hup_{};
};

struct RunningGame {
  MatchJob job;
  fs::path error_file;
  std::unique_ptr<ChildProcess> process;
};

fs::path error_file_of(const MatchJob& job) {
  fs::path file = job.log;
  return file.replace_extension(".arena.err");
}

RunningGame start(MatchJob job) {
  fs::path error_file = error_file_of(job);
  RunningGame game{std::move(job), std::move(error_file), nullptr};
  UniqueFd errors = create_output_file(game.error_file);
  SpawnRequest request;
  request.program = game.job.argv[0];
  request.args = game.job.argv;
  request.stderr_fd = errors.get();
  game.process = std::make_unique<ChildProcess>(request);
  return game;
}

std::string first_line_of(const fs::path& file) {
  constexpr std::size_t kLimit = 300;
  std::ifstream in(file, std::ios::binary);
  std::string text(kLimit + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  text = text.substr(0, text.find('\n'));
  if (text.size() > kLimit) text = text.substr(0, kLimit) + "...";
  return text;
}

JobOutcome finish(RunningGame& game, bool stopped) {
  ExitStatus status = game.process->reap();
  JobOutcome outcome;
  outcome.played = status.success();
  std::error_code error;
  if (outcome.played) {
    if (fs::file_size(game.error_file, error) == 0 && !error) fs::remove(game.error_file, error);
    return outcome;
  }
  if (stopped) {
    outcome.problem = "stopped";
    fs::remove(game.job.log, error);
    fs::remove(game.error_file, error);
    // The game is played again from the start: its error files would only mislead.
    for (const char* extension : {".referee.err", ".player1.err", ".player2.err"}) {
      fs::path file = game.job.log;
      fs::remove(file.replace_extension(extension), error);
    }
  } else {
    // Kept for diagnosis under a name that no longer counts as a game log.
    fs::path failed_log = game.job.log;
    failed_log += ".failed";
    fs::rename(game.job.log, failed_log, error);
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
  StopSignals signals;
  RunSummary summary;
  std::vector<RunningGame> running;
  bool source_empty = false;
  auto next_tick = Clock::now() + Milliseconds(kTickMs);

  // Whatever goes wrong here (a match that cannot be started), the running matches are asked
  // to stop and waited for, so that each cleans up after its game.
  try {
    while (true) {
      bool done = callbacks.done && callbacks.done();
      while (!done && !stop_signal.load() && !source_empty &&
             static_cast<int>(running.size()) < concurrency) {
        std::optional<MatchJob> job = next_job();
        if (!job) {
          source_empty = true;
          break;
        }
        running.push_back(start(std::move(*job)));
      }
      if (stop_signal.load() || done) {
        stop_all(running, callbacks);
        break;
      }
      if (running.empty()) break;

      std::vector<pollfd> fds{{signals.fd(), POLLIN, 0}};
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
        ++(outcome.played ? summary.played : summary.failed);
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
  summary.stop_signal = stop_signal.load();
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

}  // namespace arena::tournament
