// The options of `zarvo-arena match` that the commands playing many games (tournament, sprt)
// take and hand to every game they play: each is checked once on the command line, then
// forwarded as given (paths made absolute, since the games may run elsewhere).
#pragma once

#include <string>
#include <vector>

#include "arena/option_values.h"

namespace arena::tournament {

// Adds a setter for each forwarded option to `setters`; each appends "--name VALUE" to
// `match_options`, in command-line order.
void add_match_option_setters(OptionSetters& setters, std::vector<std::string>& match_options);

// The lines of --help that list the forwarded options.
inline constexpr const char* kForwardedOptionsHelp =
    "  --time-limit, --memory-limit, --file-limit, --grace, --game-timeout, --referee, "
    "--resources\n"
    "                            handed to every game (see zarvo-arena match --help)\n";

}  // namespace arena::tournament
