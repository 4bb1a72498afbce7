// Player names and game identifiers. Both become part of the log file name
// "<name1>-<name2>.<id>.log", from which the replay page takes its title and its players, so
// only characters that cannot break that name (or the page) are accepted.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace arena {

inline constexpr std::size_t kMaxNameLength = 32;
inline constexpr std::size_t kMaxGameIdLength = 40;

// Why `name` cannot be a player name, or nothing when it can: 1 to 32 ASCII letters, digits
// and underscores.
std::optional<std::string> player_name_problem(std::string_view name);

// Why `id` cannot be a game id, or nothing when it can: 1 to 40 ASCII letters, digits,
// underscores and hyphens.
std::optional<std::string> game_id_problem(std::string_view id);

// The default name of a player: the program's file name, with every character a name cannot
// hold turned into '_' and cut to the longest name ("zarvo-random" plays as "zarvo_random").
std::string name_from_program(std::string_view file_name);

// The names of one game's two players told apart when they are the same: "mybot" and "mybot"
// (`bots/v1/mybot` against `bots/v2/mybot`) become "mybot_1" and "mybot_2", the name cut to
// leave room for the number. Returns whether it renamed them. (A tournament refuses two players
// of one name instead: its names must stay the same from game to game.)
bool number_same_names(std::array<std::string, 2>& names);

// A game id unique on this machine: local date and time, the process id and, from the second
// game of a process on, a counter ("20250102_134501_4711", "20250102_134501_4711_2").
std::string unique_game_id();

}  // namespace arena
