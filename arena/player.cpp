#include "arena/player.h"

#include <fcntl.h>

#include <system_error>

#include "arena/manager_tags.h"
#include "arena/orphan_reaper.h"
#include "arena/pipe_writer.h"

namespace arena {
namespace {

constexpr std::size_t kMaxAnswerWord = 1023;
// How long a player whose output ended is given to show how it ended.
constexpr Milliseconds kExitWait{1000};
constexpr Milliseconds kReapInterval{250};

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

}  // namespace

std::optional<std::string> answer_word(std::string_view line) {
  std::size_t begin = 0;
  while (begin < line.size() && is_blank(line[begin])) ++begin;
  if (begin == line.size()) return std::nullopt;
  std::size_t end = begin;
  while (end < line.size() && !is_blank(line[end]) && end - begin < kMaxAnswerWord) ++end;
  std::string word(line.substr(begin, end - begin));
  if (word[0] == '<') word[0] = '?';
  return word;
}

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

std::optional<std::string> Player::answer(TimePoint game_deadline) {
  if (gone_) return *gone_;
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
  if (status == ReadStatus::kTimeout && now < own_deadline) return std::nullopt;
  switch (status) {
    case ReadStatus::kLine: {
      clock_.answered(now);
      auto word = answer_word(line);
      return word ? *word : tag_text(Tag::kEmptyAnswer);
    }
    case ReadStatus::kTimeout:
      clock_.expired(now);
      process_->kill_group();
      gone_ = tag_text(Tag::kTimeOut);
      return *gone_;
    case ReadStatus::kEnd:
    case ReadStatus::kWoken:
      clock_.answered(now);
      gone_ = classify_end(now);
      return *gone_;
  }
  return tag_text(Tag::kExited);
}

// The player's output ended or the player itself ended, without an answer.
std::string Player::classify_end(TimePoint now) {
  auto status = process_->wait_exit(now + kExitWait);
  if (!status) {
    // Alive but with its output closed: it can never answer again.
    process_->kill_group();
    return tag_text(Tag::kExited);
  }
  // Whatever it left running must not outlive its turn either.
  process_->kill_group();
  return tag_text(status->success() ? Tag::kExited : Tag::kCrashed);
}

std::string Player::time_report() const {
  return "time " + std::to_string(charged().count()) + " " + std::to_string(cpu_time().count());
}

void Player::stop(TimePoint deadline) {
  input_.reset();
  process_->wait_exit(deadline);
  process_->kill_group();
  process_->reap();
}

}  // namespace arena
