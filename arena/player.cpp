#include "arena/player.h"

#include <fcntl.h>

#include <system_error>

#include "arena/orphan_reaper.h"
#include "arena/pipe_writer.h"

namespace arena {
namespace {

// How long a player whose output ended is given to show how it ended.
constexpr Milliseconds kExitWait{1000};
constexpr Milliseconds kReapInterval{250};
// How much of an unfinished line is kept to show the user.
constexpr std::size_t kShownOutput = 80;

}  // namespace

Player::Player(const PlayerLaunch& launch) : clock_(launch.time_limit) {
  SpawnRequest request;
  request.program = launch.program;
  request.args = launch.args;
  request.workdir = launch.workdir;
  request.pipe_input = true;
  request.pipe_output = true;
  request.error_file = launch.stderr_file;
  request.memory_limit_mb = launch.memory_limit_mb;
  request.file_size_limit_mb = launch.file_limit_mb;
  process_.emplace(request);
  input_ = process_->take_input();
  output_.emplace(process_->take_output());
}

void Player::send(std::string_view text) {
  if (gone_ || !input_) return;
  std::string line(text);
  line += '\n';
  write_now(input_.get(), line);
  clock_.delivered(Clock::now());
}

PlayerAnswer Player::answer(TimePoint game_deadline) {
  if (gone_) return {*gone_, {}};
  std::string line;
  const TimePoint own_deadline = clock_.deadline(Clock::now());
  const TimePoint deadline = std::min(own_deadline, game_deadline);
  ReadStatus status;
  // A long wait is cut into slices, between which the orphans the player's processes left
  // behind are reaped.
  for (;;) {
    status = output_->read_line(line, std::min(deadline, Clock::now() + kReapInterval),
                                process_->exit_fd());
    if (status != ReadStatus::kTimeout || Clock::now() >= deadline) break;
    reap_ended_orphans();
  }
  TimePoint now = Clock::now();
  if (status == ReadStatus::kTimeout && now < own_deadline) {
    return {PlayerAnswer::Kind::kGameTimedOut, {}};
  }
  switch (status) {
    case ReadStatus::kLine:
      clock_.answered(now);
      return {PlayerAnswer::Kind::kLine, std::move(line)};
    case ReadStatus::kTimeout:
      clock_.expired(now);
      unfinished_output_ = std::string(output_->pending().substr(0, kShownOutput));
      process_->kill_group();
      gone_ = PlayerAnswer::Kind::kTimedOut;
      break;
    case ReadStatus::kEnd:
    case ReadStatus::kWoken:
      clock_.answered(now);
      gone_ = classify_end(now);
      break;
  }
  return {gone_.value_or(PlayerAnswer::Kind::kExited), {}};
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
  return status->success() ? PlayerAnswer::Kind::kExited : PlayerAnswer::Kind::kCrashed;
}

void Player::stop(TimePoint deadline) {
  input_.reset();
  process_->wait_exit(deadline);
  process_->kill_group();
  process_->reap();
}

}  // namespace arena
