// `zarvo-ladder submit`: an entrant's directory packed, sent as a new version, and followed
// through its build and check until it plays in the ladder or fails.
#pragma once

#include <span>
#include <string>

namespace ladder::client {

// Exit status 0: the version is active; 1: it was refused or failed (the reason printed);
// 2: a bad command line, token or server.
int run_submit_command(std::span<const std::string> args);

}  // namespace ladder::client
