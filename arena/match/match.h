// One game between two player programs, refereed by zarvo-checker: the arena's engine, used by
// the `match` command. It runs one game per process: many games are many `zarvo-arena match`
// processes (a tournament starts them). The process-wide part of a game (ignoring broken pipes,
// the stop signals, adopting the players' orphans and killing what is left of them after the
// game) is the `match` command's; play_match itself changes no process-wide state, so a
// program that only ever calls it once at a time (a benchmark) needs no more than to ignore
// SIGPIPE.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "arena/game/game_notes.h"
#include "arena/match/loss_details.h"
#include "arena/match/player_clock.h"
#include "arena/sandbox/sandbox_policy.h"
#include "arena/sandbox/scratch_view.h"
#include "arena/sandbox/user_leases.h"
#include "arena/system/deadline.h"

namespace arena {

class Seat;

struct PlayerConfig {
  std::vector<std::string> command;  // the program, then its arguments
  std::optional<std::string> name;   // none: derived from the program's file name
  std::filesystem::path workdir;     // empty: the program's own directory
  // A seat the caller plays itself (play-human's person), which outlives the game: no program
  // is started for it and `command` and `workdir` are not used; `name` must be given.
  Seat* own_seat = nullptr;
};

// How much of a player's files --keep-player-files copies at most, each file whole or not at
// all: a file counts by its length, however sparse.
inline constexpr std::uintmax_t kKeptPlayerBytes = 64u << 20;

// What a player's time limit counts.
enum class TimeClock {
  kWall,  // its thinking time: from the last line it was sent to its answer
  kCpu,   // the CPU time of its whole process tree
};

struct MatchConfig {
  std::array<PlayerConfig, 2> players;
  std::filesystem::path out_dir = ".";  // the log and page go to <out_dir>/refereelogs/
  std::optional<std::string> game_id;   // none: unique_game_id()
  Clock::duration time_limit = std::chrono::seconds(10);  // per player and game
  // The longest a single answer may take (its thinking time); none: only the budget holds.
  std::optional<Clock::duration> move_limit;
  // Added to a player's budget after each of its answers (a Fischer clock); under the CPU clock
  // to its CPU budget and to its wall limit.
  Clock::duration increment{};
  // Per player, 0: none. Sandboxed: the resident memory of its whole process tree (where control
  // groups can be used); else the address space of each of its processes. Not given: see
  // memory_limit_mb() in sandbox_plan.h.
  std::optional<std::size_t> memory_limit_mb;
  // Largest file a player may write, its standard error file included (a player going past it
  // gets SIGXFSZ and counts as crashed), so that no player can fill the disk; 0: none.
  std::size_t file_limit_mb = 64;
  std::filesystem::path tiles;      // a tile script for the referee; empty: random tiles
  std::filesystem::path referee;    // empty: zarvo-checker beside the arena
  std::filesystem::path resources;  // the viewer files to copy; empty: default_viewer_source()
  Clock::duration grace = std::chrono::seconds(1);  // for players to end after the game
  // The longest the whole game may take, from before its referee and players start; once it has
  // passed, the game is abandoned as failed, whoever was being waited for (the players' own
  // limits end a player's turn first, so this ends a game whose referee hangs). Empty: twice the
  // longest thinking time a player may take over the game (the time limit, under --clock cpu the
  // wall limit, plus the increments of 200 answers), plus a minute.
  std::optional<Clock::duration> game_timeout;
  // Every player runs in a sandbox of its own (arena/sandbox/); false: as a plain process.
  bool sandbox = true;
  // Sandboxed players run under the system-call filter (arena/sandbox/syscall_filter.h).
  bool syscall_filter = true;
  std::vector<std::pair<std::string, std::string>> env;  // set in the sandboxes
  std::vector<std::filesystem::path> ro_dirs;            // shown read-only in the sandboxes
  // Copy the files each sandboxed player wrote in its working directory beside the log.
  bool keep_player_files = false;  // at most kKeptPlayerBytes of each player's
  // Write every line each player received and sent, with times, beside the log.
  bool transcript = false;
  // Directories of the run's other entrants, hidden from both players (see entrant_dirs.h).
  std::vector<std::filesystem::path> entrant_dirs;
  // Let sandboxed players think while the opponent does; by default each is frozen from its
  // answer until its next line.
  bool ponder = false;
  std::size_t process_limit = sandbox::kDefaultProcessLimit;  // per sandboxed player
  // The users a root arena's sandboxed players run as, one per seat, none shared with another
  // sandbox of the host (arena/sandbox/user_leases.h).
  sandbox::UserRange user_range;
  TimeClock clock = TimeClock::kWall;
  // The limits the sandbox cannot hold here in one line before the game, not a warning each.
  bool quiet = false;
  // Under the CPU clock, the thinking time each player may take over the game, so that a
  // player that sleeps cannot hang it; empty: three times the time limit plus 10 seconds.
  std::optional<Clock::duration> wall_limit;
};

struct PlayerRecord {
  std::string name;
  int result = 0;          // the value the referee reported
  Milliseconds charged{};  // thinking time charged
  Milliseconds cpu{};      // CPU time used
  std::filesystem::path stderr_file;
  // Set when the player ran out of time: what it had written of an answer it never finished
  // (empty: nothing since its last answer).
  std::optional<std::string> unfinished_output;
  bool memory_killed = false;                // the memory limit killed it (it counts as crashed)
  std::optional<Milliseconds> first_answer;  // thinking time of its first answer, if any
  std::optional<long long> peak_kib;         // peak memory of its process tree, where measured
  std::optional<TimeoutDetail> timeout;      // set when it ran out of time
  std::string last_line;                     // the last line it wrote (see kKeptAnswer)
  // What it wrote in its sandbox's working directory, which vanished with the sandbox; where
  // the copies went under --keep-player-files (else empty).
  std::optional<sandbox::WrittenFiles> written;
  std::filesystem::path kept_files;
};

struct MatchResult {
  std::string game_id;
  std::array<PlayerRecord, 2> players;
  std::string description;  // the referee's result description
  std::filesystem::path log;
  std::filesystem::path page;
  std::string failure;  // empty when the referee played the game and reported
  std::filesystem::path referee_stderr;
  // What the players' times counted, for the notes on a time-out (the limits themselves are in
  // each player's TimeoutDetail).
  TimeClock clock = TimeClock::kWall;
  // Why a player was disqualified, written beside the game's files too (GameFiles::notes).
  GameNotes notes;
  // Set when the two players had one name and were numbered apart (see number_same_names):
  // the name they shared.
  std::optional<std::string> shared_name;

  bool completed() const { return failure.empty(); }
};

// Thrown before anything is started, for a configuration that cannot be played.
struct MatchSetupError : std::runtime_error {
  enum class Kind {
    kUnplayable,      // anything else
    kUnreadableFile,  // a player's program or script cannot be run or read by its seat's user
  };
  explicit MatchSetupError(const std::string& what, Kind kind = Kind::kUnplayable)
      : std::runtime_error(what), kind(kind) {}
  Kind kind;
};

// Plays the game and stops its referee and players; the caller kills whatever they left
// behind outside their process groups (see orphan_reaper.h).
MatchResult play_match(const MatchConfig& config);

}  // namespace arena
