// Finding the programs a game runs: player commands, and the referee and viewer files that
// live beside the arena binary.
#pragma once

#include <filesystem>
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

}  // namespace arena
