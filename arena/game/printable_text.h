// The one printable form of a player's text in the arena's notes: a player may write anything,
// and what it wrote must neither garble a terminal nor run on without end.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace arena {

// At most `width` characters of `text`, a carriage return and a tab shown as \r and \t,
// other control characters as '?', and "..." when cut.
std::string printable(std::string_view text, std::size_t width);

}  // namespace arena
