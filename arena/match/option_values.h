// The values the arena's options take: durations, sizes and numbers, each read by one parser,
// strictly (no blanks, no trailing junk, nothing outside its range), so that a typo is an error
// instead of a surprise.
#pragma once

#include <cstddef>
#include <string_view>

#include "arena/system/deadline.h"

namespace arena {

// Seconds, possibly with a fraction ("10", "2.5", "10s"), or milliseconds ("500ms"); above 0.
// Throws std::invalid_argument.
Clock::duration parse_duration(std::string_view text);

// A whole positive number of megabytes. Throws std::invalid_argument.
std::size_t parse_megabytes(std::string_view text);

// A whole number from `low` to `high`. Throws std::invalid_argument.
long long parse_whole(std::string_view text, long long low, long long high);

// A finite decimal number ("0.05", "-10"). Throws std::invalid_argument.
double parse_number(std::string_view text);

}  // namespace arena
