// A played game as its log tells it. The log's file name
// "<name1>-<name2>.<id>.log" gives the players (name1 moved first) and the game
// id; its "Manager report: DESCRIPTION Score: R1-R2." line gives the results.
// Nothing else is needed, so results can be gathered from logs played on any
// machine.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "arena/game/game_notes.h"
#include "arena/game/game_outcome.h"
#include "arena/game/game_usage.h"

namespace arena::series {

struct GameRecord {
  std::string id;
  std::optional<long> number;        // the id when it is a plain number, as tournament games are
  std::array<std::string, 2> names;  // names[0] moved first
  std::array<int, 2> values{};       // result values
  std::array<std::string, 2> texts;  // "WIN", "DRAW", "LOSE" or a disqualification reason
  std::string description;
  // The move in which each disqualified player was disqualified, as the log says.
  std::array<std::optional<int>, 2> out_in_move;
  std::filesystem::path log;  // relative to the tournament directory
  std::filesystem::path page;
  std::vector<std::filesystem::path> error_files;   // those the game left, relative likewise
  std::array<std::optional<PlayerUsage>, 2> usage;  // what each player used, when recorded
  GameNotes notes;  // the arena's explanation of each disqualification, when the match wrote it
};

// The sides of a game, and who won it and why, by the rule of arena/game/game_outcome.h.
std::array<SideResult, 2> sides_of(const GameRecord& game);
GameOutcome outcome_of(const GameRecord& game);

// The points each side of a game earned: a disqualified player loses (0); against a
// disqualified opponent a player wins (1); otherwise the higher result value wins and equal
// values draw (1/2 each). When both were disqualified both get 0.
std::array<double, 2> game_points(const GameRecord& game);

// The game recorded in `log`, or nothing while the log holds no "Manager
// report" line (the game is unfinished) or its name or report cannot be read.
// Paths in the record are relative to `dir`.
std::optional<GameRecord> read_game_record(const std::filesystem::path& dir,
                                           const std::filesystem::path& log);

struct LogScan {
  std::vector<GameRecord> games;                  // ordered by game number, then id
  std::vector<std::filesystem::path> unfinished;  // logs without a report, relative to dir
};

// Every "*.log" in dir/refereelogs.
LogScan scan_game_logs(const std::filesystem::path& dir);

void sort_games(std::vector<GameRecord>& games);

}  // namespace arena::series
