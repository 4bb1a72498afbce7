#include "arena/match/match.h"

#include <fcntl.h>

#include <system_error>

#include "arena/game/game_files.h"
#include "arena/game/game_names.h"
#include "arena/game/viewer_files.h"
#include "arena/match/disqualification_notes.h"
#include "arena/match/entrant_dirs.h"
#include "arena/match/player.h"
#include "arena/match/player_command.h"
#include "arena/match/referee_protocol.h"
#include "arena/match/referee_workdir.h"
#include "arena/match/sandbox_plan.h"
#include "arena/match/turn_record.h"
#include "arena/process/child_process.h"
#include "arena/process/line_reader.h"
#include "arena/process/pipe_writer.h"
#include "arena/process/program_path.h"

namespace arena {
namespace fs = std::filesystem;

namespace {

// Everything about a game that can be checked before anything is started.
struct GamePlan {
  std::array<PlayerLaunch, 2> launches;
  std::array<std::string, 2> names;
  std::optional<std::string> shared_name;  // the one name both players were given, if so
  std::string game_id;
  fs::path referee;
  std::optional<GameFiles> files;
  std::string jspath;
  fs::path tiles;
  TimePoint deadline;
  std::array<std::vector<fs::path>, 2> own_dirs;  // each player's entrant directories
  // The seats' users, held until the game's sandboxes are gone (the players go first).
  std::vector<sandbox::UserLease> users;
  std::array<std::optional<PlayerWorkdir>, 2> workdirs;
};

template <typename F>
auto or_setup_error(std::string_view what, F&& f) {
  try {
    return f();
  } catch (const std::exception& error) {
    throw MatchSetupError(std::string(what) + error.what());
  }
}

Clock::duration wall_limit(const MatchConfig& config) {
  return config.wall_limit.value_or(3 * config.time_limit + std::chrono::seconds(10));
}

GamePlan plan_game(const MatchConfig& config) {
  GamePlan plan;
  fs::path own_dir = or_setup_error("", [] { return own_directory(); });
  plan.users = seat_users(config);
  for (int i = 0; i < 2; ++i) {
    const PlayerConfig& player = config.players[i];
    std::string who = "player " + std::to_string(i + 1) + ": ";
    if (player.command.empty()) throw MatchSetupError(who + "no program given");
    const std::vector<std::string>& command = player.command;
    PlayerCommand entry = or_setup_error(who, [&] {
      return resolve_player(command,
                            config.sandbox ? ProgramLookup::kSandbox : ProgramLookup::kArena);
    });
    plan.names[i] = player.name.value_or(entry.name);
    if (auto problem = player_name_problem(plan.names[i])) throw MatchSetupError(who + *problem);

    PlayerLaunch& launch = plan.launches[i];
    launch.program = entry.program;
    launch.args = entry.arguments;
    plan.workdirs[i] = or_setup_error(who, [&] { return PlayerWorkdir(entry, player.workdir); });
    launch.workdir = plan.workdirs[i]->path();
    plan.own_dirs[i] = entrant_dirs(entry, launch.workdir);
    std::error_code error;
    if (!fs::is_directory(launch.workdir, error)) {
      throw MatchSetupError(who + "working directory " + launch.workdir.string() +
                            " does not exist");
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
      std::optional<sandbox::Identity> user;
      if (!plan.users.empty()) user = plan.users[i].identity();
      launch.sandbox =
          seat_policy(config, i + 1, launch.program, launch.args, launch.workdir, script, user);
    }
  }

  const std::string name = plan.names[0];
  if (number_same_names(plan.names)) plan.shared_name = name;

  plan.game_id = config.game_id.value_or(unique_game_id());
  if (auto problem = game_id_problem(plan.game_id)) throw MatchSetupError(*problem);

  fs::path referee = config.referee.empty() ? own_dir / "zarvo-checker" : config.referee;
  plan.referee = or_setup_error("referee: ", [&] { return find_program(referee.string()); });

  if (!config.tiles.empty()) {
    std::error_code error;
    if (!fs::is_regular_file(config.tiles, error)) {
      throw MatchSetupError("tile script " + config.tiles.string() + " is not a readable file");
    }
    plan.tiles = fs::absolute(config.tiles);
  }

  plan.files.emplace(config.out_dir, plan.names[0], plan.names[1], plan.game_id);
  const fs::path& log_dir = plan.files->log_dir();
  or_setup_error("cannot create the log directory: ",
                 [&] { return fs::create_directories(log_dir); });
  plan.jspath =
      or_setup_error("", [&] { return provide_viewer_files(config.resources, config.out_dir); });
  for (int i = 0; i < 2; ++i) plan.launches[i].stderr_file = plan.files->player_errors(i + 1);
  // Each player may think for its whole limit (under the CPU clock, for its wall limit).
  const Clock::duration longest_thought =
      config.clock == TimeClock::kCpu ? wall_limit(config) : config.time_limit;
  // A game holds well under kMostAnswers answers per player, each adding its increment.
  constexpr int kMostAnswers = 200;
  Clock::duration timeout = config.game_timeout.value_or(
      2 * (longest_thought + kMostAnswers * config.increment) + std::chrono::seconds(60));
  plan.deadline = Clock::now() + timeout;
  return plan;
}

// How many of the files a player wrote in its sandbox are looked at, to be named and, with
// --keep-player-files, copied.
constexpr std::size_t kListedFiles = 1000;

// How long making a player's sandbox may take on a loaded machine.
constexpr auto kSandboxStartPatience = std::chrono::seconds(20);

void remove_if_empty(const fs::path& file) {
  std::error_code error;
  if (fs::file_size(file, error) == 0 && !error) fs::remove(file, error);
}

}  // namespace

MatchResult play_match(const MatchConfig& config) {
  GamePlan plan = plan_game(config);

  MatchResult result;
  result.game_id = plan.game_id;
  result.shared_name = plan.shared_name;
  const GameFiles& files = *plan.files;
  result.log = files.log();
  result.page = files.page();
  result.referee_stderr = files.referee_errors();
  result.clock = config.clock;

  RefereeWorkdir workdir(files.log_dir(), plan.jspath, plan.tiles);
  // Neither the game's files nor the other player's directory show in a player's sandbox, even
  // where they lie in its working directory; nor do the directories of the run's other entrants,
  // wherever they lie. The directory that receives the game's files (a tournament's) is covered
  // as theirs are, should a shown directory hold it.
  std::vector<fs::path> entrants = config.entrant_dirs;
  entrants.push_back(fs::absolute(config.out_dir));
  for (const auto& dirs : plan.own_dirs) entrants.insert(entrants.end(), dirs.begin(), dirs.end());
  for (int i = 0; i < 2; ++i) {
    if (!plan.launches[i].sandbox) continue;
    sandbox::Policy& policy = *plan.launches[i].sandbox;
    policy.hidden = {fs::absolute(config.out_dir), fs::absolute(files.log_dir()), workdir.path(),
                     plan.launches[1 - i].workdir};
    if (!plan.tiles.empty()) policy.hidden.push_back(plan.tiles);
    // A directory shown with --ro-dir stays shown; the entrants' directories within it do not.
    std::vector<fs::path> kept = plan.own_dirs[i];
    kept.insert(kept.end(), config.ro_dirs.begin(), config.ro_dirs.end());
    policy.covered = dirs_to_hide(entrants, kept);
    policy.hidden.insert(policy.hidden.end(), policy.covered.begin(), policy.covered.end());
  }
  std::optional<Transcript> transcript;
  if (config.transcript) {
    transcript.emplace(files.transcript());
    for (int i = 0; i < 2; ++i) plan.launches[i].transcript = &*transcript;
  }
  for (int i = 0; i < 2; ++i) plan.launches[i].seat = i + 1;
  std::optional<Player> player1, player2;
  player1.emplace(plan.launches[0]);
  player2.emplace(plan.launches[1]);
  SpawnRequest request;
  request.program = plan.referee;
  request.args = {plan.referee.string(), files.log_argument()};
  request.workdir = workdir.path();
  request.pipe_input = true;
  request.pipe_output = true;
  request.error_file = result.referee_stderr;
  ChildProcess referee(request);
  UniqueFd referee_input = referee.take_input();
  LineReader referee_output(referee.take_output());

  // The sandboxes are made while the referee starts; a game is never played with a player whose
  // sandbox failed.
  const TimePoint started_by = Clock::now() + kSandboxStartPatience;
  for (int i = 0; i < 2; ++i) {
    Player& player = i == 0 ? *player1 : *player2;
    if (!player.wait_started(started_by)) {
      std::string why;
      for (const auto& line : last_lines(plan.launches[i].stderr_file, 3, 300)) why += line + " ";
      throw MatchSetupError("player " + std::to_string(i + 1) +
                            ": its sandbox could not be made: " +
                            (why.empty() ? std::string("bwrap did not start it ") : why) +
                            "(zarvo-arena check-sandbox tells more; --no-sandbox plays without)");
    }
  }

  RefereeReport report = run_referee_protocol(referee_output, referee_input.get(), referee,
                                              {&*player1, &*player2}, plan.deadline);
  referee.kill_group();
  referee.reap();

  player1->close_input();
  player2->close_input();
  TimePoint grace_end = Clock::now() + config.grace;
  player1->stop(grace_end);
  player2->stop(grace_end);

  Player* players[2] = {&*player1, &*player2};
  for (int i = 0; i < 2; ++i) {
    PlayerRecord& record = result.players[i];
    record.name = plan.names[i];
    record.result = report.results[i];
    record.charged = players[i]->times().real;
    record.cpu = players[i]->times().used;
    record.stderr_file = plan.launches[i].stderr_file;
    record.unfinished_output = players[i]->unfinished_output();
    record.memory_killed = players[i]->memory_killed();
    record.first_answer = players[i]->first_answer();
    record.peak_kib = players[i]->peak_memory_kib();
    record.timeout = players[i]->timeout();
    record.last_line = players[i]->last_line();
    const fs::path keep = config.keep_player_files ? files.player_files(i + 1) : fs::path();
    record.written = players[i]->written_files(kListedFiles, keep, kKeptPlayerBytes);
    if (!keep.empty() && fs::exists(keep)) record.kept_files = keep;
    remove_if_empty(record.stderr_file);
  }
  // The page's record of every turn, for a game the referee played to its report.
  if (report.failure.empty()) {
    TurnRecordSource turns;
    for (int i = 0; i < 2; ++i) {
      turns.turns[i] = players[i]->turns();
      turns.stderr_files[i] = plan.launches[i].stderr_file;
    }
    turns.log = result.log;
    write_turn_record(files.turns(), turns);
  }
  result.description = report.description;
  result.failure = report.failure;
  if (result.completed()) {
    remove_if_empty(result.referee_stderr);
    result.notes = game_notes(result);
  }
  // Written, or a stale file of an earlier game of this id removed, for a tournament to read.
  write_game_notes(files.notes(), result.notes);
  return result;
}

}  // namespace arena
