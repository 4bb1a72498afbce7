// Games per second of `zarvo-arena tournament` with one game at a time and with
// two, in the same run, on the same games (seeded, deterministic bots): the
// speed-up shows how well independent games use a second core. Target on a
// 2-core machine: J=2 at least 1.7 times J=1. For reference, the same run
// measures how far this machine itself lets two streams of process starts (the
// bulk of a game's cost) go in parallel: 400 runs of /bin/true from one thread
// against 200 from each of two threads.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {
namespace fs = std::filesystem;

const std::string kBin = ZARVO_BIN_DIR;
constexpr int kGamesPerPair = 16;

// Wall seconds of one whole tournament of kGamesPerPair games.
double tournament_seconds(int concurrency, const fs::path& dir) {
  fs::remove_all(dir);
  std::vector<std::string> args = {kBin + "/zarvo-arena", "tournament", "--dir", dir.string(),
                                   "--seed", "bench", "--games-per-pair",
                                   std::to_string(kGamesPerPair), "--concurrency",
                                   std::to_string(concurrency),
                                   // Games per second alone: the players' check comes first.
                                   "--no-check", "--player", kBin + "/zarvo-greedy --seed 1",
                                   "--player", kBin + "/zarvo-random --seed 2"};
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
    throw std::runtime_error("cannot start zarvo-arena");
  }
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  ::waitpid(pid, &status, 0);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("tournament failed");
  return seconds;
}

void run_true(int times) {
  char program[] = "/bin/true";
  char* argv[] = {program, nullptr};
  for (int i = 0; i < times; ++i) {
    pid_t pid = 0;
    if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0)
      throw std::runtime_error("spawn");
    int status = 0;
    ::waitpid(pid, &status, 0);
  }
}

double spawn_seconds(int streams) {
  constexpr int kSpawns = 400;
  auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> threads;
  for (int i = 0; i < streams; ++i) threads.emplace_back(run_true, kSpawns / streams);
  for (auto& thread : threads) thread.join();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_TournamentConcurrency(benchmark::State& state) {
  fs::path dir =
      fs::temp_directory_path() / ("zarvo_tournament_bench_" + std::to_string(::getpid()));
  double one = 0, two = 0, spawn_one = 0, spawn_two = 0;
  for (auto _ : state) {
    one += tournament_seconds(1, dir);
    two += tournament_seconds(2, dir);
    spawn_one += spawn_seconds(1);
    spawn_two += spawn_seconds(2);
  }
  fs::remove_all(dir);
  double games = static_cast<double>(kGamesPerPair) * static_cast<double>(state.iterations());
  state.counters["games_per_s_J1"] = games / one;
  state.counters["games_per_s_J2"] = games / two;
  state.counters["J2_over_J1"] = one / two;
  state.counters["machine_spawn_2_over_1"] = spawn_one / spawn_two;
}
BENCHMARK(BM_TournamentConcurrency)->Iterations(3)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
