#include "arena/match/player.h"

#include <fcntl.h>

#include <fstream>
#include <iostream>
#include <system_error>

#include "arena/process/orphan_reaper.h"
#include "arena/process/pipe_writer.h"

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

}  // namespace

Player::Player(const PlayerLaunch& launch)
    : clock_(launch.cpu_clock ? launch.wall_limit : launch.time_limit),
      memory_limit_mb_(launch.memory_limit_mb),
      stderr_file_(launch.stderr_file),
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
  process_.emplace(request);
  input_ = process_->take_input();
  output_.emplace(process_->take_output());
}

void Player::send(std::string_view text) {
  if (gone_ || !input_) return;
  std::string line(text);
  line += '\n';
  thaw_idle();
  write_now(input_.get(), line);
  clock_.delivered(Clock::now());
}

PlayerAnswer Player::answer(TimePoint game_deadline) {
  if (gone_) return {*gone_, {}};
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
  if (status != ReadStatus::kEnd && status != ReadStatus::kWoken && out_of_cpu_time()) {
    return timed_out(now, true);
  }
  if (status == ReadStatus::kTimeout && now < own_deadline) {
    return {PlayerAnswer::Kind::kGameTimedOut, {}};
  }
  switch (status) {
    case ReadStatus::kLine:
      clock_.answered(now);
      freeze_idle();
      return {PlayerAnswer::Kind::kLine, std::move(line)};
    case ReadStatus::kTimeout: return timed_out(now, false);
    case ReadStatus::kEnd:
    case ReadStatus::kWoken:
      clock_.answered(now);
      gone_ = classify_end(now);
      break;
  }
  return {gone_.value_or(PlayerAnswer::Kind::kExited), {}};
}

bool Player::out_of_cpu_time() const { return cpu_limit_ && process_->cpu_time() >= *cpu_limit_; }

// Its time ran out: the CPU time of its tree, or its thinking time (charged in full).
PlayerAnswer Player::timed_out(TimePoint now, bool by_cpu) {
  if (by_cpu) {
    clock_.answered(now);
  } else {
    clock_.expired(now);
  }
  unfinished_output_ = std::string(output_->pending().substr(0, kShownOutput));
  process_->kill_group();
  gone_ = PlayerAnswer::Kind::kTimedOut;
  return {*gone_, {}};
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
    std::ofstream(stderr_file_, std::ios::app)
        << "zarvo-arena: the memory limit of " << memory_limit_mb_
        << " MB killed this player (resident memory of its whole process tree)" << std::endl;
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
