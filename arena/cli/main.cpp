// zarvo-arena: runs Zarvo games between bot programs. One subcommand per task.
#include <fcntl.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "arena/cli/build_command.h"
#include "arena/cli/check_command.h"
#include "arena/cli/check_sandbox_command.h"
#include "arena/cli/match_command.h"
#include "arena/cli/play_human_command.h"
#include "arena/cli/publish_command.h"
#include "arena/cli/replay_command.h"
#include "arena/cli/show_command.h"
#include "arena/cli/sprt_command.h"
#include "arena/cli/standings_command.h"
#include "arena/cli/tournament_command.h"
#include "arena/system/oom_score.h"

namespace {

const char* const kUsage = R"(usage: zarvo-arena COMMAND [options]

Commands:
  match       play one game between two programs (zarvo-arena match --help)
  play-human  play a game yourself against a program, in a browser (zarvo-arena play-human --help)
  tournament  play many games between several programs (zarvo-arena tournament --help)
  standings   rebuild a tournament's results and standings from its logs
  publish     write a static site of a tournament's results for the contestants
  sprt        test whether one program is stronger than another (zarvo-arena sprt --help)
  check-sandbox  report whether players can be sandboxed here, and how
  build       build entrants' sources into entries, each in a sandbox (zarvo-arena build --help)
  check       check that players start and play before they enter a field (zarvo-arena check --help)
  replay      play one seat of a logged game again with a bot, its answers beside the game's
  show        show a logged game's board after a move, with the points and the next tile
)";

// Pipes made later must not land on descriptors 0 to 2, which a child's standard streams are
// copied onto.
void keep_standard_descriptors_taken() {
  for (int fd = 0; fd < 3; ++fd) {
    if (::fcntl(fd, F_GETFD) < 0) ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
  }
}

}  // namespace

int main(int argc, char** argv) {
  keep_standard_descriptors_taken();
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    std::cout << kUsage;
    return args.empty() ? 2 : 0;
  }
  std::string command = args[0];
  args.erase(args.begin());
  // The arena and the referee it starts must outlive a memory crisis that a player causes;
  // only root may lower the score, any other user keeps the one it has.
  if (command == "match" || command == "play-human" || command == "tournament" ||
      command == "sprt") {
    arena::set_own_oom_score_adj(arena::kArenaOomScoreAdj);
  }
  if (command == "match") return arena::cli::run_match_command(args);
  if (command == "play-human") return arena::cli::run_play_human_command(args);
  if (command == "tournament") return arena::cli::run_tournament_command(args);
  if (command == "standings") return arena::cli::run_standings_command(args);
  if (command == "publish") return arena::cli::run_publish_command(args);
  if (command == "sprt") return arena::cli::run_sprt_command(args);
  if (command == "build") return arena::cli::run_build_command(args);
  if (command == "check") return arena::cli::run_check_command(args);
  if (command == "replay") return arena::cli::run_replay_command(args);
  if (command == "show") return arena::cli::run_show_command(args);
  if (command == "check-sandbox") return arena::cli::run_check_sandbox_command(args);
  std::cerr << "zarvo-arena: unknown command \"" << command << "\"\n" << kUsage;
  return 2;
}
