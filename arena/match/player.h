// One player program during a game: it is started in a process group of its own, receives the
// lines the referee addresses to it, is charged for the time it takes to answer, and is
// stopped at the end. It tells what happened (a line, a time-out, a crash, ...) and how much
// time the player used; the referee protocol turns that into its replies.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "arena/match/loss_details.h"
#include "arena/match/player_clock.h"
#include "arena/match/seat.h"
#include "arena/match/transcript.h"
#include "arena/match/turn_log.h"
#include "arena/process/child_process.h"
#include "arena/process/line_reader.h"
#include "arena/sandbox/scratch_view.h"
#include "arena/system/unique_fd.h"

namespace arena {

struct PlayerLaunch {
  std::filesystem::path program;
  std::vector<std::string> args;  // argv, args[0] included
  std::filesystem::path workdir;
  std::filesystem::path stderr_file;
  Clock::duration time_limit{};
  std::size_t memory_limit_mb = 0;
  std::size_t file_limit_mb = 0;
  std::optional<sandbox::Policy> sandbox;  // none: the player runs as a plain process
  // The time limit counts the CPU time of the player's whole process tree; its thinking time is
  // then held to `wall_limit`.
  bool cpu_clock = false;
  Clock::duration wall_limit{};
  std::optional<Clock::duration> move_limit;  // of one answer's thinking time
  Clock::duration increment{};                // added to the budgets after each answer
  Transcript* transcript = nullptr;           // receives every line to and from the player
  int seat = 0;                               // 1 or 2, for the transcript
  // Frozen from its answer until its next line, so that it cannot think on its opponent's time
  // (false: --ponder, or no sandbox).
  bool freeze_when_idle = false;
};

class Player : public Seat {
 public:
  explicit Player(const PlayerLaunch& launch);

  void send(std::string_view text) override;
  PlayerAnswer answer(TimePoint game_deadline) override;
  PlayerTimes times() const override { return {clock_.charged_ms(), process_->cpu_time()}; }
  const std::vector<Turn>& turns() const override { return turn_log_.turns(); }

  // Waits until a sandboxed player's sandbox is up; false when bwrap could not make it (its
  // message is in the player's error file) or `deadline` passed. Its program starts only once
  // this has opened its working directory (see ScratchView): call it before anything else.
  bool wait_started(TimePoint deadline);

  // The files a sandboxed player added to its working directory, which vanish with its sandbox
  // (at most `limit` named); nothing for an unsandboxed player or where they cannot be seen.
  // After stop(), `keep_into` (when not empty) receives copies of them, at most `byte_limit`.
  std::optional<sandbox::WrittenFiles> written_files(std::size_t limit,
                                                     const std::filesystem::path& keep_into,
                                                     std::uintmax_t byte_limit) const;

  // Whether the memory limit killed the player (it then counts as crashed).
  bool memory_killed() const { return memory_killed_; }
  // Its peak memory in KiB once it has ended, where it is known (see ChildProcess).
  std::optional<long long> peak_memory_kib() const { return process_->peak_memory_kib(); }

  // The thinking time charged for its first answer; nothing before it answered.
  std::optional<Milliseconds> first_answer() const { return first_answer_; }

  // After a time-out: what the player had written of a line it never finished (empty when it
  // wrote nothing at all since its last answer). Nothing when it did not time out.
  const std::optional<std::string>& unfinished_output() const { return unfinished_output_; }

  // After a time-out: which limit fired, against what, and whether the player was busy then.
  const std::optional<TimeoutDetail>& timeout() const { return timeout_; }

  // The last line the player wrote, its first kKeptAnswer + 1 characters (more than
  // kKeptAnswer: the line was longer).
  const std::string& last_line() const { return last_line_; }

  // The process the arena started: the player itself, or its sandbox's bubblewrap.
  pid_t pid() const { return process_->pid(); }

  // Closes the player's input; returns at once.
  void close_input() { input_.reset(); }
  // Waits until the player has ended or `deadline` passes, then kills its group and reaps it.
  void stop(TimePoint deadline);

 private:
  PlayerAnswer await_answer(TimePoint game_deadline);
  PlayerAnswer::Kind classify_end(TimePoint now);
  // Freezing hooks: after an answer, before a line, before the end of the game.
  void freeze_idle();
  void thaw_idle();
  bool out_of_cpu_time() const;
  PlayerAnswer timed_out(TimePoint now, bool by_cpu);
  bool busy_for(Milliseconds window);

  UniqueFd input_;
  std::optional<LineReader> output_;
  std::optional<ChildProcess> process_;
  PlayerClock clock_;
  TurnLog turn_log_;
  std::optional<PlayerAnswer::Kind> gone_;  // how the player stopped playing
  std::optional<std::string> unfinished_output_;
  std::optional<TimeoutDetail> timeout_;
  std::string last_line_;
  std::optional<Clock::duration> cpu_limit_;  // under the CPU clock, increments included
  Clock::duration cpu_time_limit_{};          // the CPU limit as given, for a time-out's detail
  Clock::duration increment_{};
  std::size_t memory_limit_mb_ = 0;
  std::filesystem::path stderr_file_;
  std::filesystem::path workdir_;
  // The sandbox's working directory, held open so that what the player wrote there outlives it.
  std::optional<sandbox::ScratchView> scratch_;
  Transcript* transcript_ = nullptr;
  int seat_ = 0;
  bool memory_killed_ = false;
  std::optional<Milliseconds> first_answer_;
  // When the wait for the last answer ended: the line's arrival, or the deadline its time ran
  // out at (for the transcript, to match the time charged).
  TimePoint answer_end_{};
  bool freeze_when_idle_ = false;
  bool freeze_failed_ = false;  // said once
};

}  // namespace arena
