// What each player of a game used, kept beside the game's log in "<base>.usage.txt" so that a
// tournament reads it back from the game's files alone: one line per player,
// "player1 cpu_ms=1234 peak_kib=56789 think_ms=2000" (peak_kib is left out where it was not
// measured; think_ms, the thinking time the player's clock charged, is missing in the files of
// older arenas).
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>

namespace arena {

struct PlayerUsage {
  long long cpu_ms = 0;               // CPU time of the player's whole process tree
  std::optional<long long> peak_kib;  // its peak resident memory, where it was measured
  std::optional<long long> think_ms;  // the thinking time its clock charged, the game's log's
};

std::string game_usage_text(const std::array<PlayerUsage, 2>& usage);
// Replaces the file in one step; throws std::runtime_error when it cannot be written.
void write_game_usage(const std::filesystem::path& file, const std::array<PlayerUsage, 2>& usage);
// Each player's line of the file, or nothing for a player whose line is missing or unreadable.
std::array<std::optional<PlayerUsage>, 2> read_game_usage(const std::filesystem::path& file);

}  // namespace arena
