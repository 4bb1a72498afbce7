#include "ladder/worker/arena_run.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "arena/process/program_path.h"

namespace ladder::worker {

namespace {

constexpr std::size_t kKeptOutput = 256 * 1024;
constexpr auto kStopGrace = std::chrono::seconds(10);
constexpr int kPollMs = 500;

void keep_tail(std::string& output, const char* data, std::size_t size) {
  output.append(data, size);
  if (output.size() > 2 * kKeptOutput) output.erase(0, output.size() - kKeptOutput);
}

}  // namespace

ArenaRun run_arena(const std::vector<std::string>& args, const std::filesystem::path& error_file,
                   const StopAsked& stop_asked) {
  arena::SpawnRequest request;
  request.program = arena::own_directory() / "zarvo-arena";
  request.args = {request.program.string()};
  request.args.insert(request.args.end(), args.begin(), args.end());
  request.pipe_output = true;
  request.error_file = error_file;
  arena::ChildProcess child(request);
  arena::UniqueFd output = child.take_output();
  ArenaRun run;
  std::array<char, 16 * 1024> buffer{};
  bool output_open = true;
  for (;;) {
    if (!run.stopped && stop_asked()) {
      run.stopped = true;
      ::kill(child.pid(), SIGTERM);
      if (!child.wait_exit(arena::Clock::now() + kStopGrace)) child.kill_group();
      break;
    }
    std::array<pollfd, 2> fds{
        {{output_open ? output.get() : -1, POLLIN, 0}, {child.exit_fd(), POLLIN, 0}}};
    ::poll(fds.data(), fds.size(), child.exit_fd() >= 0 || output_open ? kPollMs : 20);
    if (output_open && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
      const ssize_t got = ::read(output.get(), buffer.data(), buffer.size());
      if (got > 0) {
        keep_tail(run.output, buffer.data(), static_cast<std::size_t>(got));
      } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
        output_open = false;
      }
    }
    if (!output_open && child.exited()) break;
  }
  run.status = child.reap();
  // A stop signal sent to the whole process group (systemd, Slurm) may have ended the command
  // before the worker asked it to: that is a stop too, not a failure of the entry.
  if (stop_asked()) run.stopped = true;
  if (run.output.size() > kKeptOutput) run.output.erase(0, run.output.size() - kKeptOutput);
  return run;
}

}  // namespace ladder::worker
