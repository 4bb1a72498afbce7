// A game between two instant bots through the arena, against its floor on this machine measured
// in the same run: starting three trivial processes (cat) and making three pipe round trips per
// move, one through each, for as many moves as the arena's game had. The "ratio" counter is the
// arena's time per game over the floor's.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "arena/match.h"
#include "arena/pipe_writer.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Seconds = std::chrono::duration<double>;

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

void BM_InstantBotsThroughArena(benchmark::State& state) {
  fs::path out = fs::temp_directory_path() / ("arena-bench-" + std::to_string(::getpid()));
  arena::MatchConfig config;
  const std::string bin = ZARVO_BIN_DIR;
  config.players[0].command = {bin + "/zarvo-random"};
  config.players[1].command = {bin + "/zarvo-random"};
  config.referee = bin + "/zarvo-checker";
  config.resources = bin + "/resources";
  config.out_dir = out;

  arena::ignore_broken_pipes();  // a player that ends early must not end the benchmark
  Seconds arena_total{}, floor_total{};
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
    floor_game(moves);
    floor_total += std::chrono::steady_clock::now() - start;
    arena_total += arena_time;
    moves_total += moves;
    state.SetIterationTime(arena_time.count());
  }
  fs::remove_all(out);
  state.counters["moves"] = static_cast<double>(moves_total) / game;
  state.counters["arena_ms"] = arena_total.count() * 1000 / game;
  state.counters["floor_ms"] = floor_total.count() * 1000 / game;
  state.counters["ratio"] = arena_total / floor_total;
}
BENCHMARK(BM_InstantBotsThroughArena)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);

}  // namespace

BENCHMARK_MAIN();
