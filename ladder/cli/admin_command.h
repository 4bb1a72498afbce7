// zarvo-ladder admin: the organiser's commands on the ladder's database, run beside a serving
// server or without one: accounts, freezing submissions, the status, the final round.
#pragma once

#include <span>
#include <string>

namespace ladder::cli {

int run_admin_command(std::span<const std::string> args);

}  // namespace ladder::cli
