// zarvo-ladder: a ladder of Zarvo bots that runs for weeks. One subcommand per task.
#include <iostream>
#include <string>
#include <vector>

#include "ladder/cli/admin_command.h"
#include "ladder/cli/serve_command.h"

namespace {

const char* const kUsage = R"(usage: zarvo-ladder COMMAND [options]

Commands:
  serve   run the ladder's HTTP server (zarvo-ladder serve --help)
  admin   manage entrants, workers, submissions and the final round (zarvo-ladder admin --help)
)";

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    std::cout << kUsage;
    return args.empty() ? 2 : 0;
  }
  std::string command = args[0];
  args.erase(args.begin());
  if (command == "serve") return ladder::cli::run_serve_command(args);
  if (command == "admin") return ladder::cli::run_admin_command(args);
  std::cerr << "zarvo-ladder: unknown command \"" << command << "\"\n" << kUsage;
  return 2;
}
