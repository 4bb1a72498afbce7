#include "arena/match/seat_launch.h"

#include <system_error>

#include "arena/game/game_names.h"
#include "arena/match/entrant_dirs.h"
#include "arena/match/sandbox_plan.h"

namespace arena {
namespace fs = std::filesystem;

Clock::duration wall_limit(const MatchConfig& config) {
  return config.wall_limit.value_or(3 * config.time_limit + std::chrono::seconds(10));
}

SeatLaunch plan_seat(const MatchConfig& config, int seat,
                     const std::optional<sandbox::Identity>& user) {
  SeatLaunch seat_launch;
  const PlayerConfig& player = config.players[seat - 1];
  std::string who = "player " + std::to_string(seat) + ": ";
  if (player.command.empty()) throw MatchSetupError(who + "no program given");
  const std::vector<std::string>& command = player.command;
  PlayerCommand entry = or_setup_error(who, [&] {
    return resolve_player(command,
                          config.sandbox ? ProgramLookup::kSandbox : ProgramLookup::kArena);
  });
  seat_launch.name = player.name.value_or(entry.name);
  if (auto problem = player_name_problem(seat_launch.name)) throw MatchSetupError(who + *problem);

  PlayerLaunch& launch = seat_launch.launch;
  launch.program = entry.program;
  launch.args = entry.arguments;
  seat_launch.workdir = or_setup_error(who, [&] { return PlayerWorkdir(entry, player.workdir); });
  launch.workdir = seat_launch.workdir->path();
  seat_launch.own_dirs = entrant_dirs(entry, launch.workdir);
  std::error_code error;
  if (!fs::is_directory(launch.workdir, error)) {
    throw MatchSetupError(who + "working directory " + launch.workdir.string() + " does not exist");
  }
  launch.time_limit = config.time_limit;
  launch.memory_limit_mb = memory_limit_mb(config);
  launch.file_limit_mb = config.file_limit_mb;
  launch.cpu_clock = config.clock == TimeClock::kCpu;
  launch.wall_limit = wall_limit(config);
  launch.move_limit = config.move_limit;
  launch.increment = config.increment;
  launch.freeze_when_idle = config.sandbox && !config.ponder;
  if (config.sandbox) {
    std::optional<fs::path> script;
    if (entry.script) script = launch.args[*entry.script];
    launch.sandbox =
        seat_policy(config, seat, launch.program, launch.args, launch.workdir, script, user);
  }
  return seat_launch;
}

}  // namespace arena
