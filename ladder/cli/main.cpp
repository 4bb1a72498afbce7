// zarvo-ladder: the ladder's commands.
#include <iostream>
#include <string>
#include <vector>

#include "ladder/client/submit_command.h"
#include "ladder/worker/worker_command.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const std::string command = args.empty() ? "" : args[0];
  if (!args.empty()) args.erase(args.begin());
  if (command == "submit") return ladder::client::run_submit_command(args);
  if (command == "worker") return ladder::worker::run_worker_command(args);
  std::cerr << "usage: zarvo-ladder submit|worker [options]\n";
  return 2;
}
