// `zarvo-arena publish DIR OUT`: a static site of a tournament or SPRT directory, for the
// contestants (see arena/tournament/published_site.h).
#pragma once

#include <span>
#include <string>

namespace arena::cli {

// Exit status: 0 written, 2 bad command line, no game logs in DIR or a file not written.
int run_publish_command(std::span<const std::string> args);

}  // namespace arena::cli
