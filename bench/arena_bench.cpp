// A game between two instant bots through the arena, against its floor on this machine measured
// in the same run: starting three trivial processes (cat) and making three pipe round trips per
// move, one through each, for as many moves as the arena's game had; for the game between
// sandboxed players, also two bare sandbox starts (bwrap ... /bin/true with a player's command
// line and user, no control groups). The "ratio" counter is the arena's time per game over the
// floor's. Sandboxed, "cgroup_ratio" is the same against a floor whose two sandbox starts also
// make and join the player's control groups (on cgroup v1 the first join of a game waits for an
// RCU grace period of the kernel's). Argument 0: players without a sandbox; 1: sandboxed.
// BM_SyscallFilterCost compares sandboxed games with and without the system-call filter.
// Then what freezing the idle player costs: a game with and without it, one freeze and thaw.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "arena/match/match.h"
#include "arena/process/child_process.h"
#include "arena/process/pipe_writer.h"
#include "arena/sandbox/bwrap_command.h"
#include "arena/sandbox/control_group.h"
#include "arena/sandbox/host_support.h"
#include "arena/sandbox/user_leases.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Seconds = std::chrono::duration<double>;

// A game between two instant bots (the random sample bot) whose files go to `out`.
arena::MatchConfig instant_bots_game(const fs::path& out) {
  arena::MatchConfig config;
  const std::string bin = ZARVO_BIN_DIR;
  config.players[0].command = {bin + "/zarvo-random"};
  config.players[1].command = {bin + "/zarvo-random"};
  config.referee = bin + "/zarvo-checker";
  config.resources = bin + "/resources";
  config.out_dir = out;
  return config;
}

int count_moves(const fs::path& log) {
  std::ifstream in(log);
  int moves = 0;
  for (std::string line; std::getline(in, line);) moves += line.starts_with("Round ");
  return moves;
}

struct Cat {
  pid_t pid = -1;
  int to = -1, from = -1;
};

Cat start_cat() {
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) std::abort();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  char cat[] = "cat";
  char* argv[] = {cat, nullptr};
  Cat c;
  if (posix_spawnp(&c.pid, "cat", &actions, nullptr, argv, environ) != 0) std::abort();
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  c.to = in[1];
  c.from = out[0];
  return c;
}

void round_trip(const Cat& c) {
  char line[16] = "Gb256143h\n";
  if (::write(c.to, line, 10) != 10) std::abort();
  for (ssize_t got = 0; got < 10;) {
    ssize_t n = ::read(c.from, line, sizeof line);
    if (n <= 0) std::abort();
    got += n;
  }
}

// The least any game of `moves` moves between three processes can cost.
void floor_game(int moves) {
  Cat cats[3] = {start_cat(), start_cat(), start_cat()};
  for (int m = 0; m < moves; ++m) {
    for (const Cat& c : cats) round_trip(c);
  }
  for (Cat& c : cats) {
    ::close(c.to);
    ::close(c.from);
    ::waitpid(c.pid, nullptr, 0);
  }
}

// The least it takes to start a player's sandbox: bwrap with the command line the arena gives a
// player's, as a leased user of the default range, running /bin/true; no control groups.
void bare_sandbox_start(const fs::path& dir) {
  arena::sandbox::Policy policy;
  policy.workdir = dir;
  policy.syscall_filter = false;  // a bare start: no descriptor holds a filter
  arena::sandbox::SandboxSetup setup;
  setup.bwrap = *arena::sandbox::host_support().bwrap;
  arena::SpawnRequest request;
  request.program = setup.bwrap;
  request.args = arena::sandbox::bwrap_command(policy, "/bin/true", {"true"}, setup);
  std::vector<arena::sandbox::UserLease> lease;
  if (arena::sandbox::must_drop_root()) {
    lease = arena::sandbox::lease_users({}, 1, arena::Clock::now());
    auto user = lease.front().identity();
    request.run_as = arena::SpawnRequest::Credentials{user.uid, user.gid};
  }
  arena::ChildProcess child(request);
  child.wait_exit(arena::Clock::now() + std::chrono::seconds(10));
  child.reap();
}

// The same with the control groups a player gets, exactly as the arena starts one.
void sandbox_start_with_cgroups(const fs::path& dir) {
  arena::SpawnRequest request;
  request.program = "/bin/true";
  request.sandbox.emplace();
  request.sandbox->workdir = dir;
  request.sandbox->limits.processes = arena::sandbox::kDefaultProcessLimit;
  std::vector<arena::sandbox::UserLease> lease;
  if (arena::sandbox::must_drop_root()) {
    lease = arena::sandbox::lease_users({}, 1, arena::Clock::now());
    request.sandbox->identity = lease.front().identity();
  }
  arena::ChildProcess child(request);
  child.wait_exit(arena::Clock::now() + std::chrono::seconds(10));
  child.reap();
}

void BM_InstantBotsThroughArena(benchmark::State& state) {
  const bool sandboxed = state.range(0) != 0;
  fs::path out = fs::temp_directory_path() / ("arena-bench-" + std::to_string(::getpid()));
  arena::MatchConfig config = instant_bots_game(out);
  const std::string bin = ZARVO_BIN_DIR;
  config.sandbox = sandboxed;

  arena::ignore_broken_pipes();  // a player that ends early must not end the benchmark
  Seconds arena_total{}, floor_total{}, cgroup_floor_total{};
  long moves_total = 0;
  int game = 0;
  for (auto _ : state) {
    config.game_id = "bench" + std::to_string(++game);
    auto start = std::chrono::steady_clock::now();
    arena::MatchResult result = arena::play_match(config);
    Seconds arena_time = std::chrono::steady_clock::now() - start;
    if (!result.completed()) state.SkipWithError(result.failure.c_str());
    int moves = count_moves(result.log);

    start = std::chrono::steady_clock::now();
    if (sandboxed) {
      bare_sandbox_start(bin);
      bare_sandbox_start(bin);
    }
    floor_game(moves);
    Seconds floor_time = std::chrono::steady_clock::now() - start;
    floor_total += floor_time;
    if (sandboxed) {
      start = std::chrono::steady_clock::now();
      sandbox_start_with_cgroups(bin);
      sandbox_start_with_cgroups(bin);
      Seconds cgroup_starts = std::chrono::steady_clock::now() - start;
      start = std::chrono::steady_clock::now();
      bare_sandbox_start(bin);
      bare_sandbox_start(bin);
      Seconds bare_starts = std::chrono::steady_clock::now() - start;
      cgroup_floor_total += floor_time - bare_starts + cgroup_starts;
    }
    arena_total += arena_time;
    moves_total += moves;
    state.SetIterationTime(arena_time.count());
  }
  fs::remove_all(out);
  state.counters["moves"] = static_cast<double>(moves_total) / game;
  state.counters["arena_ms"] = arena_total.count() * 1000 / game;
  state.counters["floor_ms"] = floor_total.count() * 1000 / game;
  state.counters["ratio"] = arena_total / floor_total;
  if (sandboxed) state.counters["cgroup_ratio"] = arena_total / cgroup_floor_total;
}
BENCHMARK(BM_InstantBotsThroughArena)
    ->ArgName("sandboxed")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);

// What the system-call filter costs a game: sandboxed games between instant bots with the
// filter and without it, alternating (each pair in turn starting with the other), so that both
// meet the same state of the machine. "filter_ratio" is the filtered games' time over the
// unfiltered ones'.
void BM_SyscallFilterCost(benchmark::State& state) {
  fs::path out = fs::temp_directory_path() / ("arena-bench-filter-" + std::to_string(::getpid()));
  arena::MatchConfig config = instant_bots_game(out);

  arena::ignore_broken_pipes();
  Seconds with_total{}, without_total{};
  int game = 0;
  for (auto _ : state) {
    Seconds with{}, without{};
    const bool filtered_first = game % 4 == 0;  // two games per pair
    for (int turn = 0; turn < 2; ++turn) {
      config.syscall_filter = (turn == 0) == filtered_first;
      config.game_id = "bench" + std::to_string(++game);
      auto start = std::chrono::steady_clock::now();
      arena::MatchResult result = arena::play_match(config);
      Seconds took = std::chrono::steady_clock::now() - start;
      if (!result.completed()) state.SkipWithError(result.failure.c_str());
      (config.syscall_filter ? with : without) = took;
    }
    with_total += with;
    without_total += without;
    state.SetIterationTime(with.count());
  }
  fs::remove_all(out);
  const double pairs = game / 2.0;
  state.counters["filtered_ms"] = with_total.count() * 1000 / pairs;
  state.counters["unfiltered_ms"] = without_total.count() * 1000 / pairs;
  state.counters["filter_ratio"] = with_total / without_total;
}
BENCHMARK(BM_SyscallFilterCost)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(5.0);

// What freezing the idle player costs: sandboxed games between instant bots, each with idle
// players frozen and then the same with --ponder, alternately in one loop. "freeze_ratio" is the
// frozen games' time over the pondering games'; "per_move_us" what freezing adds to a move.
void BM_FreezingIdlePlayers(benchmark::State& state) {
  fs::path out = fs::temp_directory_path() / ("arena-bench-" + std::to_string(::getpid()));
  arena::MatchConfig config = instant_bots_game(out);
  arena::ignore_broken_pipes();
  Seconds frozen_total{}, ponder_total{};
  long moves_total = 0;
  int game = 0;
  for (auto _ : state) {
    for (bool ponder : {false, true}) {
      config.ponder = ponder;
      config.game_id = "freeze" + std::to_string(++game);
      auto start = std::chrono::steady_clock::now();
      arena::MatchResult result = arena::play_match(config);
      Seconds took = std::chrono::steady_clock::now() - start;
      if (!result.completed()) state.SkipWithError(result.failure.c_str());
      (ponder ? ponder_total : frozen_total) += took;
      if (!ponder) {
        moves_total += count_moves(result.log);
        state.SetIterationTime(took.count());
      }
    }
  }
  fs::remove_all(out);
  const double games = game / 2.0;
  state.counters["frozen_ms"] = frozen_total.count() * 1000 / games;
  state.counters["ponder_ms"] = ponder_total.count() * 1000 / games;
  state.counters["freeze_ratio"] = frozen_total / ponder_total;
  state.counters["per_move_us"] = (frozen_total - ponder_total).count() * 1e6 / moves_total;
}
BENCHMARK(BM_FreezingIdlePlayers)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);

// One freeze (until the group reports frozen) and one thaw of a player's control group holding
// one sleeping process, as the arena does them between moves.
void BM_FreezeAndThawOneGroup(benchmark::State& state) {
  const auto& host = arena::sandbox::host_support();
  if (host.cgroups.freezer.empty()) {
    state.SkipWithError("no freezer group can be made here");
    return;
  }
  arena::sandbox::ControlGroup group(host.cgroups, {});
  arena::SpawnRequest request;
  request.program = "/bin/sleep";
  request.args = {"sleep", "1000"};
  request.join_fds = group.join_fds();
  arena::ChildProcess child(request);
  Seconds freeze_total{}, thaw_total{};
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    if (!group.freeze()) state.SkipWithError("the group did not freeze");
    auto frozen = std::chrono::steady_clock::now();
    group.thaw();
    auto thawed = std::chrono::steady_clock::now();
    freeze_total += frozen - start;
    thaw_total += thawed - frozen;
  }
  child.kill_group();
  child.reap();
  const double n = static_cast<double>(state.iterations());
  state.counters["freeze_us"] = freeze_total.count() * 1e6 / n;
  state.counters["thaw_us"] = thaw_total.count() * 1e6 / n;
}
BENCHMARK(BM_FreezeAndThawOneGroup)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
