// The values the arena's options take: durations and sizes, read strictly (no trailing junk,
// no negative or zero values) so that a typo is an error instead of a surprise.
#pragma once

#include <cstddef>
#include <string_view>

#include "arena/deadline.h"

namespace arena {

// Seconds, possibly with a fraction ("10", "2.5", "10s"), or milliseconds ("500ms"); above 0.
// Throws std::invalid_argument.
Clock::duration parse_duration(std::string_view text);

// A whole positive number of megabytes. Throws std::invalid_argument.
std::size_t parse_megabytes(std::string_view text);

}  // namespace arena
