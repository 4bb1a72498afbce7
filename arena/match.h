// One game between two player programs, refereed by zarvo-checker: the arena's engine, used by
// the `match` command and meant to be called the same way by anything that plays many games.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "arena/deadline.h"

namespace arena {

struct PlayerConfig {
  std::vector<std::string> command;  // the program, then its arguments
  std::optional<std::string> name;   // none: derived from the program's file name
  std::filesystem::path workdir;     // empty: the program's own directory
};

struct MatchConfig {
  std::array<PlayerConfig, 2> players;
  std::filesystem::path out_dir = ".";  // the log and page go to <out_dir>/refereelogs/
  std::optional<std::string> game_id;   // none: unique_game_id()
  Clock::duration time_limit = std::chrono::seconds(10);  // per player and game
  std::size_t memory_limit_mb = 0;                        // per player; 0: none
  // Largest file a player may write, its standard error file included (a player going past it
  // gets SIGXFSZ and counts as crashed), so that no player can fill the disk; 0: none.
  std::size_t file_limit_mb = 64;
  std::filesystem::path tiles;      // a tile script for the referee; empty: random tiles
  std::filesystem::path referee;    // empty: zarvo-checker beside the arena
  std::filesystem::path resources;  // the viewer files to copy; empty: default_viewer_source()
  Clock::duration grace = std::chrono::seconds(1);  // for players to end after the game
  // The longest a game may take before the referee is held to have failed;
  // empty: twice the time limit plus a minute.
  std::optional<Clock::duration> game_timeout;
};

struct PlayerRecord {
  std::string name;
  int result = 0;          // the value the referee reported
  Milliseconds charged{};  // thinking time charged
  Milliseconds cpu{};      // CPU time used
  std::filesystem::path stderr_file;
};

struct MatchResult {
  std::string game_id;
  std::array<PlayerRecord, 2> players;
  std::string description;  // the referee's result description
  std::filesystem::path log;
  std::filesystem::path page;
  std::string failure;  // empty when the referee played the game and reported
  std::filesystem::path referee_stderr;

  bool completed() const { return failure.empty(); }
};

// Thrown before anything is started, for a configuration that cannot be played.
struct MatchSetupError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

MatchResult play_match(const MatchConfig& config);

}  // namespace arena
