// zarvo-ladder serve: the ladder's HTTP server.
#pragma once

#include <span>
#include <string>

namespace ladder::cli {

int run_serve_command(std::span<const std::string> args);

}  // namespace ladder::cli
