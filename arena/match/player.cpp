#include "arena/match/player.h"

#include <fcntl.h>

#include <fstream>
#include <iostream>
#include <system_error>

#include "arena/process/orphan_reaper.h"
#include "arena/process/pipe_writer.h"
#include "arena/system/oom_score.h"
#include "arena/system/tree_wait.h"

namespace arena {
namespace {

// How long a player whose output ended is given to show how it ended.
constexpr Milliseconds kExitWait{1000};
constexpr Milliseconds kReapInterval{250};
// How often the CPU time of a player is read while it thinks under the CPU clock: how far past
// its limit a player's tree can get.
constexpr Milliseconds kCpuPollInterval{10};
// How much of an unfinished line is kept to show the user.
constexpr std::size_t kShownOutput = 80;
// How long a player that ran out of thinking time is watched before it is killed, to tell one
// still computing from one idle (what its threads wait in then tells why), and how much CPU
// time in that window counts as computing.
constexpr Milliseconds kActivityWindow{100};
constexpr Milliseconds kBusyCpu{30};

}  // namespace

Player::Player(const PlayerLaunch& launch)
    : clock_(launch.cpu_clock ? launch.wall_limit : launch.time_limit, launch.move_limit,
             launch.increment),
      turn_log_(launch.stderr_file),
      cpu_time_limit_(launch.time_limit),
      increment_(launch.increment),
      memory_limit_mb_(launch.memory_limit_mb),
      stderr_file_(launch.stderr_file),
      workdir_(launch.workdir),
      transcript_(launch.transcript),
      seat_(launch.seat),
      freeze_when_idle_(launch.freeze_when_idle) {
  if (launch.cpu_clock) cpu_limit_ = launch.time_limit;
  SpawnRequest request;
  request.program = launch.program;
  request.args = launch.args;
  request.workdir = launch.workdir;
  request.pipe_input = true;
  request.pipe_output = true;
  request.error_file = launch.stderr_file;
  request.memory_limit_mb = launch.memory_limit_mb;
  request.file_size_limit_mb = launch.file_limit_mb;
  request.sandbox = launch.sandbox;
  request.hold_at_start = true;
  request.oom_score_adj = kPlayerOomScoreAdj;
  process_.emplace(request);
  input_ = process_->take_input();
  output_.emplace(process_->take_output());
}

bool Player::wait_started(TimePoint deadline) {
  // Taken while the player's program waits to start: nothing the player does afterwards can
  // turn the arena's look after the game anywhere but at its working directory.
  return process_->wait_started(
      deadline, [this] { scratch_ = sandbox::ScratchView::open(process_->pid(), workdir_); });
}

std::optional<sandbox::WrittenFiles> Player::written_files(std::size_t limit,
                                                           const std::filesystem::path& keep_into,
                                                           std::uintmax_t byte_limit) const {
  if (!scratch_) return std::nullopt;
  sandbox::WrittenFiles files = scratch_->written(limit);  // copy() marks what it leaves out
  if (!keep_into.empty() && !files.files.empty()) scratch_->copy(files, keep_into, byte_limit);
  return files;
}

void Player::send(std::string_view text) {
  if (gone_ || !input_) return;
  std::string line(text);
  line += '\n';
  thaw_idle();
  write_now(input_.get(), line);
  const TimePoint now = Clock::now();
  clock_.delivered(now);
  if (transcript_) transcript_->received(seat_, text, now);
}

PlayerAnswer Player::answer(TimePoint game_deadline) {
  if (gone_) return {*gone_, {}};
  PlayerAnswer answer = await_answer(game_deadline);
  if (answer.kind != PlayerAnswer::Kind::kGameTimedOut) {
    // Under the CPU clock the budget that counts is the CPU time of its tree.
    const Clock::duration left = cpu_limit_ ? *cpu_limit_ - process_->cpu_time() : clock_.left();
    turn_log_.ended(clock_.charged(), left, answer.kind == PlayerAnswer::Kind::kLine);
  }
  if (transcript_) {
    const TimePoint when = answer_end_;
    switch (answer.kind) {
      case PlayerAnswer::Kind::kLine: transcript_->sent(seat_, answer.line, when); break;
      case PlayerAnswer::Kind::kTimedOut: transcript_->event(seat_, "ran out of time", when); break;
      case PlayerAnswer::Kind::kCrashed: transcript_->event(seat_, "crashed", when); break;
      case PlayerAnswer::Kind::kExited:
        transcript_->event(seat_, "exited or closed its output", when);
        break;
      case PlayerAnswer::Kind::kGameTimedOut:
        transcript_->event(seat_, "the game timed out", when);
        break;
    }
  }
  return answer;
}

PlayerAnswer Player::await_answer(TimePoint game_deadline) {
  std::string line;
  const TimePoint own_deadline = clock_.deadline(Clock::now());
  const TimePoint deadline = std::min(own_deadline, game_deadline);
  ReadStatus status;
  // A long wait is cut into slices, between which the CPU time is read under the CPU clock and
  // the orphans an unsandboxed player's processes left behind are reaped.
  const Milliseconds slice = cpu_limit_ ? kCpuPollInterval : kReapInterval;
  for (;;) {
    status =
        output_->read_line(line, std::min(deadline, Clock::now() + slice), process_->exit_fd());
    if (status != ReadStatus::kTimeout || Clock::now() >= deadline || out_of_cpu_time()) break;
    if (!process_->sandboxed()) reap_ended_orphans();
  }
  TimePoint now = Clock::now();
  answer_end_ = now;
  if (status != ReadStatus::kEnd && status != ReadStatus::kWoken && out_of_cpu_time()) {
    return timed_out(now, true);
  }
  if (status == ReadStatus::kTimeout && now < own_deadline) {
    return {PlayerAnswer::Kind::kGameTimedOut, {}};
  }
  switch (status) {
    case ReadStatus::kLine:
      clock_.answered(now);
      if (!first_answer_) first_answer_ = clock_.charged_ms();
      if (cpu_limit_) *cpu_limit_ += increment_;
      last_line_ = line.substr(0, kKeptAnswer + 1);
      freeze_idle();
      return {PlayerAnswer::Kind::kLine, std::move(line)};
    case ReadStatus::kTimeout:
      // Its thinking time ran out at its deadline, whenever the arena woke to see it.
      answer_end_ = own_deadline;
      return timed_out(now, false);
    case ReadStatus::kEnd:
    case ReadStatus::kWoken:
      clock_.answered(now);
      gone_ = classify_end(now);
      break;
  }
  return {gone_.value_or(PlayerAnswer::Kind::kExited), {}};
}

bool Player::out_of_cpu_time() const { return cpu_limit_ && process_->cpu_time() >= *cpu_limit_; }

// Its time ran out: the CPU time of its tree, or its thinking time, of which the clock says
// whether the game's budget or the move limit fired.
PlayerAnswer Player::timed_out(TimePoint now, bool by_cpu) {
  TimeoutDetail detail;
  if (by_cpu) {
    clock_.answered(now);
    detail.limit = TimeLimit::kCpu;
    detail.allowed = std::chrono::round<Milliseconds>(cpu_time_limit_);
    detail.earned = std::chrono::round<Milliseconds>(*cpu_limit_ - cpu_time_limit_);
    detail.used = process_->cpu_time();
    detail.busy = true;
  } else {
    detail = clock_.expired();
    // What its threads wait in is read first, as its time ran out: a thread on the CPU or
    // ready for it is computing, even where a loaded machine then gives it little CPU time over
    // the activity window.
    detail.idle = tree_wait(process_->pid());
    detail.busy = busy_for(kActivityWindow) || detail.idle.activity == TreeActivity::kRunning;
  }
  unfinished_output_ = std::string(output_->pending().substr(0, kShownOutput));
  timeout_ = detail;
  process_->kill_group();
  gone_ = PlayerAnswer::Kind::kTimedOut;
  return {*gone_, {}};
}

// Whether the player's tree uses the CPU over the next `window`.
bool Player::busy_for(Milliseconds window) {
  const Milliseconds before = process_->cpu_time();
  const TimePoint until = Clock::now() + window;
  process_->wait_exit(until);
  return process_->cpu_time() - before >= kBusyCpu;
}

// The player's output ended or the player itself ended, without an answer.
PlayerAnswer::Kind Player::classify_end(TimePoint now) {
  auto status = process_->wait_exit(now + kExitWait);
  if (!status) {
    // Alive but with its output closed: it can never answer again.
    process_->kill_group();
    return PlayerAnswer::Kind::kExited;
  }
  // Whatever it left running must not outlive its turn either.
  process_->kill_group();
  if (process_->memory_killed()) {
    memory_killed_ = true;
    // Said where the player's author looks first: the end of its error file.
    std::ofstream file(stderr_file_, std::ios::app);
    if (memory_limit_mb_ > 0) {
      file << "zarvo-arena: the memory limit of " << memory_limit_mb_
           << " MB killed this player (resident memory of its whole process tree)" << std::endl;
    } else {
      file << "zarvo-arena: the kernel killed this player when the machine ran out of memory"
           << std::endl;
    }
    return PlayerAnswer::Kind::kCrashed;
  }
  return status->success() ? PlayerAnswer::Kind::kExited : PlayerAnswer::Kind::kCrashed;
}

void Player::freeze_idle() {
  if (!freeze_when_idle_ || process_->freeze() || freeze_failed_) return;
  freeze_failed_ = true;
  std::cerr << "zarvo-arena: warning: the process tree of the player with error file "
            << stderr_file_.string()
            << " did not freeze within 2 s; it may run on while its opponent thinks" << std::endl;
}

void Player::thaw_idle() {
  if (freeze_when_idle_) process_->thaw();
}

void Player::stop(TimePoint deadline) {
  thaw_idle();  // for the grace period
  input_.reset();
  process_->wait_exit(deadline);
  process_->kill_group();
  process_->reap();
}

}  // namespace arena
