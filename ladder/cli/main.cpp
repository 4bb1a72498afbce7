// zarvo-ladder: a ladder of Zarvo bots that runs for weeks. One subcommand per task.
#include <iostream>
#include <string>
#include <vector>

#include "ladder/cli/admin_command.h"
#include "ladder/cli/serve_command.h"
#include "ladder/client/submit_command.h"
#include "ladder/worker/worker_command.h"

namespace {

const char* const kUsage = R"(usage: zarvo-ladder COMMAND [options]

Commands:
  serve   run the ladder's HTTP server (zarvo-ladder serve --help)
  admin   manage entrants, workers, submissions and the final round (zarvo-ladder admin --help)
  submit  send a new version of your entry and follow its build (zarvo-ladder submit --help)
  worker  build entries and play pairs for a ladder server (zarvo-ladder worker --help)
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
  if (command == "submit") return ladder::client::run_submit_command(args);
  if (command == "worker") return ladder::worker::run_worker_command(args);
  std::cerr << "zarvo-ladder: unknown command \"" << command << "\"\n" << kUsage;
  return 2;
}
