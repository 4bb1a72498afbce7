// Times genereerzetten on positions from deterministic random games, beside two references in
// the same process: a naive generator that walks each candidate's cells on the colour grid, and
// the output floor, copying a finished list of the same length. At the end it prints, per phase
// of the game, how many times faster than the naive walk and how many times slower than the
// floor genereerzetten is.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "referee/board.h"
#include "referee/movegen.h"

namespace {

struct Position {
  situatie board;
  char tile[8];
};

enum Phase { kEarly, kMiddle, kLate, kPhases };
const char* const kPhaseNames[kPhases] = {"early", "mid", "late"};

std::vector<Position> positions[kPhases];

void random_tile(std::mt19937_64& rng, char tile[8]) {
  std::strcpy(tile, "123456");
  std::shuffle(tile, tile + 6, rng);
}

// Plays random games and keeps, from each, a position after 5 moves, one halfway and one
// two moves before the end.
void build_positions() {
  std::mt19937_64 rng(1234567);
  for (int game = 0; game < 12; ++game) {
    std::vector<Position> history;
    Position p;
    init(p.board);
    move start{8, 8, "523146h"};
    plaats(p.board, start);
    for (;;) {
      random_tile(rng, p.tile);
      move zetten[MAXZETTEN];
      const int n = genereerzetten(p.board.bezet, zetten, p.tile);
      if (n == 0) break;
      history.push_back(p);
      plaats(p.board, zetten[rng() % n]);
    }
    if (history.size() < 12) continue;
    positions[kEarly].push_back(history[5]);
    positions[kMiddle].push_back(history[history.size() / 2]);
    positions[kLate].push_back(history[history.size() - 2]);
  }
}

bool covered(const situatie& s, int r, int c) { return s.bord[r][c] != 0; }

// Judges each candidate cell by cell on the colour grid.
int naive_generate(const situatie& s, move* zetten, const char* tegel) {
  int n = 0;
  auto add = [&](int r, int c, char letter) {
    move& m = zetten[n++];
    m.rij = r;
    m.kolom = c;
    std::memcpy(m.tekst, tegel, 6);
    m.tekst[6] = letter;
    m.tekst[7] = '\0';
  };
  for (int r = 1; r <= 15; ++r)
    for (int c = 1; c <= 15; ++c) {
      int overlap = 0;
      bool contact = covered(s, r, c - 1) || covered(s, r + 1, c - 1) || covered(s, r, c + 6) ||
                     covered(s, r + 1, c + 6);
      for (int k = 0; k < 6; ++k) {
        overlap += covered(s, r, c + k) + covered(s, r + 1, c + k);
        contact = contact || covered(s, r - 1, c + k) || covered(s, r + 2, c + k);
      }
      if (overlap <= 4 && contact) add(r, c, 'h');
    }
  for (int r = 1; r <= 11; ++r)
    for (int c = 1; c <= 19; ++c) {
      int overlap = 0;
      bool contact = covered(s, r - 1, c) || covered(s, r - 1, c + 1) || covered(s, r + 6, c) ||
                     covered(s, r + 6, c + 1);
      for (int k = 0; k < 6; ++k) {
        overlap += covered(s, r + k, c) + covered(s, r + k, c + 1);
        contact = contact || covered(s, r + k, c - 1) || covered(s, r + k, c + 2);
      }
      if (overlap <= 4 && contact) add(r, c, 'v');
    }
  return n;
}

bool same_list(const move* a, int na, const move* b, int nb) {
  if (na != nb) return false;
  for (int i = 0; i < na; ++i)
    if (a[i].rij != b[i].rij || a[i].kolom != b[i].kolom ||
        std::strcmp(a[i].tekst, b[i].tekst) != 0)
      return false;
  return true;
}

void check_generators_agree() {
  for (const auto& phase : positions)
    for (const Position& p : phase) {
      move ours[MAXZETTEN];
      move naive[MAXZETTEN];
      const int n = genereerzetten(p.board.bezet, ours, p.tile);
      if (!same_list(ours, n, naive, naive_generate(p.board, naive, p.tile))) {
        std::fprintf(stderr, "genereerzetten and the naive generator disagree\n");
        std::exit(1);
      }
    }
}

void BM_genereerzetten(benchmark::State& state, int phase) {
  const auto& set = positions[phase];
  move zetten[MAXZETTEN];
  int64_t moves = 0;
  for (auto _ : state) {
    for (const Position& p : set) {
      const int n = genereerzetten(p.board.bezet, zetten, p.tile);
      benchmark::DoNotOptimize(zetten);
      moves += n;
    }
    benchmark::ClobberMemory();
  }
  state.counters["moves/board"] = benchmark::Counter(static_cast<double>(moves) / set.size(),
                                                     benchmark::Counter::kAvgIterations);
}

void BM_naive(benchmark::State& state, int phase) {
  const auto& set = positions[phase];
  move zetten[MAXZETTEN];
  for (auto _ : state) {
    for (const Position& p : set) {
      benchmark::DoNotOptimize(naive_generate(p.board, zetten, p.tile));
      benchmark::DoNotOptimize(zetten);
    }
    benchmark::ClobberMemory();
  }
}

// The least any generator must do: write a list of the same length into the caller's array.
void BM_floor(benchmark::State& state, int phase) {
  const auto& set = positions[phase];
  std::vector<std::vector<move>> lists;
  for (const Position& p : set) {
    move zetten[MAXZETTEN];
    const int n = genereerzetten(p.board.bezet, zetten, p.tile);
    lists.emplace_back(zetten, zetten + n);
  }
  move out[MAXZETTEN];
  for (auto _ : state) {
    for (const auto& list : lists) {
      benchmark::DoNotOptimize(list.data());
      std::memcpy(out, list.data(), list.size() * sizeof(move));
      benchmark::DoNotOptimize(out);
    }
    benchmark::ClobberMemory();
  }
}

// Console output as usual, plus the two ratios per phase once every run is in. The ratios use
// the median of the repetitions, which the other programs on a shared machine disturb least.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const std::string& name = run.run_name.function_name;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (median || (run.run_type == Run::RT_Iteration && !times_.count(name)))
        times_[name] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    for (int phase = 0; phase < kPhases; ++phase) {
      const std::string arg = "/" + std::string(kPhaseNames[phase]);
      const auto ours = times_.find("genereerzetten" + arg);
      const auto naive = times_.find("naive" + arg);
      const auto floor = times_.find("floor" + arg);
      if (ours == times_.end() || naive == times_.end() || floor == times_.end()) continue;
      std::printf(
          "%-5s boards: naive/ours = %5.1f (target >= 10), "
          "ours/floor = %5.1f (target <= 10)\n",
          kPhaseNames[phase], naive->second / ours->second, ours->second / floor->second);
    }
    std::fflush(stdout);
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  build_positions();
  check_generators_agree();
  // The three runs of a phase follow each other, so that they see the same machine load.
  for (int phase = 0; phase < kPhases; ++phase) {
    const std::string name = kPhaseNames[phase];
    benchmark::RegisterBenchmark(("genereerzetten/" + name).c_str(), BM_genereerzetten, phase)
        ->MinTime(0.1)
        ->Repetitions(5)
        ->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark(("naive/" + name).c_str(), BM_naive, phase)
        ->MinTime(0.1)
        ->Repetitions(5)
        ->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark(("floor/" + name).c_str(), BM_floor, phase)
        ->MinTime(0.1)
        ->Repetitions(5)
        ->ReportAggregatesOnly(true);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
