// Finding the programs a game runs: player commands, and the referee and viewer files that
// live beside the arena binary.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace arena {

// The directory holding the running arena binary.
std::filesystem::path own_directory();

// The executable a command word names, found as a shell finds it: a word holding '/' is a path
// (made absolute, since the program may run in another directory); any other word is looked up
// in PATH. Throws std::runtime_error with a readable message when there is no such executable.
std::filesystem::path find_program(std::string_view word);

// The same, looking a word without '/' up in `search_path` (directories separated by ':')
// instead of the arena's PATH.
std::filesystem::path find_program(std::string_view word, std::string_view search_path);

// The executable file `name` (a word without '/') in the first directory of `search_path` that
// holds one (directories separated by ':', an empty one the working directory), by its absolute
// path; nothing when none does.
std::optional<std::filesystem::path> look_up_program(std::string_view name,
                                                     std::string_view search_path);

}  // namespace arena
