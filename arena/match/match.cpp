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
#include "arena/match/seat_launch.h"
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

GamePlan plan_game(const MatchConfig& config) {
  GamePlan plan;
  fs::path own_dir = or_setup_error("", [] { return own_directory(); });
  plan.users = seat_users(config);
  for (int i = 0; i < 2; ++i) {
    const PlayerConfig& player = config.players[i];
    if (player.own_seat) {
      std::string who = "player " + std::to_string(i + 1) + ": ";
      if (!player.name) throw MatchSetupError(who + "a seat of the caller's needs a name");
      plan.names[i] = *player.name;
      if (auto problem = player_name_problem(plan.names[i])) throw MatchSetupError(who + *problem);
      continue;
    }
    std::optional<sandbox::Identity> user;
    if (!plan.users.empty()) user = plan.users[i].identity();
    SeatLaunch seat = plan_seat(config, i + 1, user);
    plan.launches[i] = std::move(seat.launch);
    plan.names[i] = std::move(seat.name);
    plan.workdirs[i] = std::move(seat.workdir);
    plan.own_dirs[i] = std::move(seat.own_dirs);
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

RecordedClock recorded_clock(const MatchConfig& config) {
  RecordedClock clock;
  clock.cpu = config.clock == TimeClock::kCpu;
  clock.limit = std::chrono::round<Milliseconds>(config.time_limit);
  clock.increment = std::chrono::round<Milliseconds>(config.increment);
  if (config.move_limit) clock.move_limit = std::chrono::round<Milliseconds>(*config.move_limit);
  return clock;
}

// What a player program did besides answering, after it has been stopped.
void record_program(const Player& player, const PlayerLaunch& launch, const MatchConfig& config,
                    const GameFiles& files, int seat, PlayerRecord& record) {
  record.stderr_file = launch.stderr_file;
  record.unfinished_output = player.unfinished_output();
  record.memory_killed = player.memory_killed();
  record.first_answer = player.first_answer();
  record.peak_kib = player.peak_memory_kib();
  record.timeout = player.timeout();
  record.last_line = player.last_line();
  const fs::path keep = config.keep_player_files ? files.player_files(seat) : fs::path();
  record.written = player.written_files(kListedFiles, keep, kKeptPlayerBytes);
  if (!keep.empty() && fs::exists(keep)) record.kept_files = keep;
  remove_if_empty(record.stderr_file);
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
    policy.hidden = {fs::absolute(config.out_dir), fs::absolute(files.log_dir()), workdir.path()};
    if (!config.players[1 - i].own_seat) policy.hidden.push_back(plan.launches[1 - i].workdir);
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
  // A program for every seat the caller does not play itself.
  std::array<std::optional<Player>, 2> programs;
  std::array<Seat*, 2> seats{};
  for (int i = 0; i < 2; ++i) {
    if (Seat* own = config.players[i].own_seat) {
      seats[i] = own;
    } else {
      seats[i] = &programs[i].emplace(plan.launches[i]);
    }
  }
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
    if (!programs[i]) continue;
    if (!programs[i]->wait_started(started_by)) {
      std::string why;
      for (const auto& line : last_lines(plan.launches[i].stderr_file, 3, 300)) why += line + " ";
      throw MatchSetupError("player " + std::to_string(i + 1) +
                            ": its sandbox could not be made: " +
                            (why.empty() ? std::string("bwrap did not start it ") : why) +
                            "(zarvo-arena check-sandbox tells more; --no-sandbox plays without)");
    }
  }

  RefereeReport report =
      run_referee_protocol(referee_output, referee_input.get(), referee, seats, plan.deadline);
  referee.kill_group();
  referee.reap();

  for (auto& program : programs) {
    if (program) program->close_input();
  }
  TimePoint grace_end = Clock::now() + config.grace;
  for (auto& program : programs) {
    if (program) program->stop(grace_end);
  }

  for (int i = 0; i < 2; ++i) {
    PlayerRecord& record = result.players[i];
    record.name = plan.names[i];
    record.result = report.results[i];
    record.charged = seats[i]->times().real;
    record.cpu = seats[i]->times().used;
    if (programs[i]) record_program(*programs[i], plan.launches[i], config, files, i + 1, record);
  }
  result.description = report.description;
  result.failure = report.failure;
  if (result.completed()) {
    remove_if_empty(result.referee_stderr);
    result.notes = game_notes(result);
    // The page's record of every turn, for a game the referee played to its report.
    TurnRecordSource turns;
    turns.clock = recorded_clock(config);
    for (int i = 0; i < 2; ++i) {
      turns.turns[i] = seats[i]->turns();
      if (programs[i]) turns.stderr_files[i] = plan.launches[i].stderr_file;
    }
    turns.log = result.log;
    turns.notes = result.notes;
    write_turn_record(files.turns(), turns);
  }
  // Written, or a stale file of an earlier game of this id removed, for a tournament to read.
  write_game_notes(files.notes(), result.notes);
  return result;
}

}  // namespace arena
