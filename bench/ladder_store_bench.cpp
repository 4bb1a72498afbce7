// The ladder's server paths on a ladder late in its run: 1000 entrants with an active version
// each, 64 workers and 10^6 ranked games already recorded (with their jobs, the pairings'
// totals and a rating history), put in directly in one transaction as set-up. Measured through
// the store's own functions, as the server calls them:
//  - BM_Leaderboard: GET /api/leaderboard's query and JSON (target <= 50 ms);
//  - BM_WorkerRound: 64 workers each holding a pair; one after another reports its pair (files
//    written durably, the games counted) and leases the next. Counters: the median lease and
//    report (target <= 5 ms each) and reports_per_s over the whole round (target >= 500/s on
//    SQLite). The matchmaker refills the queue when it runs low, outside the timing;
//  - BM_Refit: what the ratings thread does after games finish: read the versions and the
//    totals, refit, store the ratings and their history points (target <= 200 ms).
// The database is SQLite in a fresh temporary directory unless LADDER_BENCH_DATABASE names
// another: "postgresql://..." or "dbname=... host=..." (empty, or filled by an earlier run of
// this benchmark), "sqlite:PATH", or "scratch-postgresql" for a PostgreSQL 15 cluster of the
// benchmark's own (tests/support/scratch_postgres).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "ladder/league/ladder_ratings.h"
#include "ladder/league/matchmaker.h"
#include "ladder/store/data_dir.h"
#include "ladder/store/database.h"
#include "ladder/store/job_reports.h"
#include "ladder/store/jobs.h"
#include "ladder/store/ladder_settings.h"
#include "ladder/store/public_views.h"
#include "ladder/store/ratings_store.h"
#include "ladder/store/schema.h"
#ifdef LADDER_BENCH_SCRATCH_POSTGRES
#include "tests/support/scratch_postgres.h"
#endif

namespace {

namespace fs = std::filesystem;
using namespace ladder;

constexpr int kEntrants = 1000;
constexpr int kWorkers = 64;
constexpr long long kGames = 1'000'000;
constexpr std::int64_t kNow = 1'800'000'000;
constexpr std::size_t kRowsPerInsert = 500;

// Appends rows to one multi-row INSERT and runs it every kRowsPerInsert rows. Only numbers and
// fixed words go into the text.
class BulkInsert {
 public:
  BulkInsert(store::Transaction& tx, std::string head) : tx_(tx), head_(std::move(head)) {}
  ~BulkInsert() { flush(); }
  void row(const std::string& values) {
    text_ += (rows_ ? ",(" : "(") + values + ")";
    if (++rows_ == kRowsPerInsert) flush();
  }
  void flush() {
    if (rows_ == 0) return;
    tx_.sql() << head_ + " VALUES " + text_;
    text_.clear();
    rows_ = 0;
  }

 private:
  store::Transaction& tx_;
  std::string head_, text_;
  std::size_t rows_ = 0;
};

std::string csv(std::initializer_list<long long> values) {
  std::string text;
  for (long long v : values) text += (text.empty() ? "" : ",") + std::to_string(v);
  return text;
}

void populate(store::Database& db) {
  std::mt19937_64 rng(1);
  std::normal_distribution<double> spread(0, 300);
  std::vector<double> strength(kEntrants + 1);
  for (double& s : strength) s = spread(rng);
  store::Transaction tx(db);
  {
    BulkInsert entrants(tx, "INSERT INTO entrants (name, token_hash, created)");
    for (int i = 1; i <= kEntrants; ++i)
      entrants.row("'entrant" + std::to_string(i) + "','entrant-hash-" + std::to_string(i) + "'," +
                   std::to_string(kNow));
    BulkInsert workers(tx, "INSERT INTO workers (name, token_hash, created)");
    for (int i = 1; i <= kWorkers; ++i)
      workers.row("'worker" + std::to_string(i) + "','worker-hash-" + std::to_string(i) + "'," +
                  std::to_string(kNow));
  }
  // Pairs between neighbours in strength, as the matchmaker's window makes them.
  struct Total {
    long long games = 0;
    double points = 0;
  };
  std::map<std::pair<int, int>, Total> totals;
  std::vector<std::array<long long, 4>> records(kEntrants + 1);  // games, wins, draws, losses
  std::geometric_distribution<int> distance(0.05);
  std::uniform_int_distribution<int> version(1, kEntrants);
  std::uniform_real_distribution<double> unit(0, 1);
  {
    BulkInsert jobs(tx,
                    "INSERT INTO jobs (kind, priority, is_ranked, player1, player2, state,"
                    " attempt, worker, created, finished)");
    BulkInsert games(tx,
                     "INSERT INTO games (job, seat_order, player1, player2, points1, points2,"
                     " outcome, winner, is_ranked, is_final, finished, worker, files)");
    for (long long job = 1; job <= kGames / 2; ++job) {
      int a = version(rng), b = (a + distance(rng)) % kEntrants + 1;
      if (a == b) b = a % kEntrants + 1;
      const long long worker = job % kWorkers + 1, at = kNow - kGames + 2 * job;
      jobs.row("'pair',2,1," + csv({a, b}) + ",'done',1," + csv({worker, at, at}));
      for (int seat = 0; seat < 2; ++seat) {
        const int p1 = seat ? b : a, p2 = seat ? a : b;
        double expected = 1 / (1 + std::pow(10.0, (strength[p2] - strength[p1]) / 400));
        double draw = unit(rng);
        int winner = draw < 0.05 ? 0 : unit(rng) < expected ? 1 : 2;
        games.row(csv({job, seat, p1, p2, 40, 30}) + ",'PLAYER_1:_WIN;_PLAYER_2:_LOSE'," +
                  csv({winner, 1, 0, at, worker}) + ",'bench'");
        auto key = std::minmax(p1, p2);
        Total& t = totals[key];
        t.games += 1;
        t.points += winner == 0 ? 0.5 : (winner == 1) == (p1 == key.first) ? 1.0 : 0.0;
        for (int side = 0; side < 2; ++side) {
          auto& r = records[side ? p2 : p1];
          ++r[0];
          ++r[winner == 0 ? 2 : winner == side + 1 ? 1 : 3];
        }
      }
    }
  }
  {
    BulkInsert pairs(tx, "INSERT INTO pair_totals (a, b, games, points_a)");
    for (const auto& [key, t] : totals)
      pairs.row(csv({key.first, key.second, t.games}) + "," + std::to_string(t.points));
    BulkInsert versions(tx,
                        "INSERT INTO versions (entrant, number, sources, state, submitted,"
                        " rating, low, high, provisional, pairs, games, wins, draws, losses,"
                        " last_played, last_opponent)");
    BulkInsert history(tx, "INSERT INTO rating_history (version, taken, rating)");
    for (int i = 1; i <= kEntrants; ++i) {
      const auto& r = records[i];
      const std::string rating = std::to_string(static_cast<long long>(strength[i]));
      versions.row(csv({i, 1}) + ",'" + std::string(64, '0') + "','active'," +
                   std::to_string(kNow - 86400) + "," + rating + "," + rating + "-30," + rating +
                   "+30,0," + csv({r[0] / 2, r[0], r[1], r[2], r[3], kNow - i, i % kEntrants + 1}));
      for (int k = 0; k < 50; ++k) history.row(csv({i, kNow - 86400 + 1000 * k}) + "," + rating);
    }
  }
  tx.commit();
}

struct Ladder {
#ifdef LADDER_BENCH_SCRATCH_POSTGRES
  std::unique_ptr<test_support::ScratchPostgres> postgres;
#endif
  fs::path scratch;
  std::unique_ptr<store::Database> db;
  std::unique_ptr<store::DataDir> data;

  Ladder() {
    scratch = fs::temp_directory_path() / ("ladder_store_bench_" + std::to_string(getpid()));
    fs::create_directories(scratch);
    db = std::make_unique<store::Database>(database_url());
    data = std::make_unique<store::DataDir>(scratch / "data");
    data->create();
    store::migrate(*db);
    store::ensure_ladder_seed(*db);
    long long games = 0;
    {
      store::Transaction tx(*db, store::Access::kRead);
      tx.sql() << "SELECT COUNT(*) FROM games", soci::into(games);
    }
    if (games < kGames) populate(*db);
  }
  ~Ladder() {
    db.reset();
    fs::remove_all(scratch);
  }

  std::string database_url() {
    const char* named = std::getenv("LADDER_BENCH_DATABASE");
    const std::string url = named ? named : "";
    if (url.empty()) return "sqlite:" + (scratch / "ladder.db").string();
    if (url != "scratch-postgresql") return url;
#ifdef LADDER_BENCH_SCRATCH_POSTGRES
    postgres = std::make_unique<test_support::ScratchPostgres>();
    return postgres->new_database();
#else
    throw std::runtime_error("this build has no scratch PostgreSQL (tests/support)");
#endif
  }
};

Ladder& ladder() {
  static Ladder instance;
  return instance;
}

void BM_Leaderboard(benchmark::State& state) {
  store::Database& db = *ladder().db;
  for (auto _ : state) {
    store::Transaction tx(db, store::Access::kRead);
    benchmark::DoNotOptimize(store::leaderboard_json(tx).dump());
  }
}
BENCHMARK(BM_Leaderboard)->Unit(benchmark::kMillisecond);

// Queues ranked pairs as the server's matchmaking does, until `wanted` are waiting.
void refill_queue(store::Database& db, std::size_t wanted, std::mt19937_64& rng) {
  store::Transaction tx(db);
  const auto queued = static_cast<std::size_t>(store::queued_ranked_jobs(tx));
  if (queued >= wanted) return;
  std::vector<league::ActiveVersion> field;
  for (const store::VersionRecord& v : store::playable_versions(tx))
    field.push_back(
        {v.id, v.entrant, v.rating, v.pairs, v.in_flight, v.last_played, v.last_opponent});
  std::vector<store::VersionPair> pairs;
  for (const league::Pick& p : league::pick_pairs(field, wanted - queued, rng))
    pairs.emplace_back(p.first, p.second);
  store::queue_pairs(tx, pairs, false, kNow);
  tx.commit();
}

store::GameReport game_of(const store::LeasedJob& job, int seat_order) {
  store::GameReport game;
  const std::int64_t a = job.players[0].version_id, b = job.players[1].version_id;
  game.players = seat_order ? std::array{b, a} : std::array{a, b};
  game.points = {52, 47};
  game.outcome = "PLAYER_1:_WIN;_PLAYER_2:_LOSE";
  game.winner = 1;
  game.log = std::string(4000, 'l');
  game.replay = std::string(30000, 'r');
  game.turns = std::string(2000, 't');
  game.usage = "cpu_ms 120 peak_kib 2048\ncpu_ms 130 peak_kib 2100\n";
  game.stderr_text = {"", ""};
  return game;
}

// The value below which `share` of `values` lie.
double quantile(std::vector<double> values, double share) {
  if (values.empty()) return 0;
  auto at = values.begin() + static_cast<std::ptrdiff_t>(share * (values.size() - 1));
  std::nth_element(values.begin(), at, values.end());
  return *at;
}

// Each thread (a request thread of the server) serves its share of the 64 workers in turn.
void BM_WorkerRound(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  store::Database& db = *ladder().db;
  const store::DataDir& data = *ladder().data;
  std::mt19937_64 rng(3 + state.thread_index());
  std::vector<int> workers;
  for (int w = state.thread_index(); w < kWorkers; w += state.threads()) workers.push_back(w);
  std::map<int, std::optional<store::LeasedJob>> held;
  std::int64_t now = kNow + 1000 * state.thread_index();
  auto lease = [&](int w) {
    held[w] = store::lease_job(db, w + 1, "bench-host/" + std::to_string(w), 90, now);
  };
  refill_queue(db, 4 * kWorkers, rng);
  for (int w : workers) lease(w);
  std::vector<double> lease_ms, report_ms;
  std::size_t turn = 0;
  for (auto _ : state) {
    const int w = workers[turn++ % workers.size()];
    ++now;
    if (held[w]) {
      store::JobReport report;
      report.kind = store::ReportKind::kPair;
      report.job = held[w]->id;
      report.games = {game_of(*held[w], 0), game_of(*held[w], 1)};
      auto start = Clock::now();
      store::ReportAnswer answer =
          store::apply_report(db, data, w + 1, held[w]->lease, report, now);
      report_ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
      if (answer.outcome != store::ReportOutcome::kApplied) state.SkipWithError("report refused");
    }
    auto start = Clock::now();
    lease(w);
    lease_ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    if (turn % workers.size() == 0) {
      state.PauseTiming();
      refill_queue(db, 4 * kWorkers, rng);
      state.ResumeTiming();
    }
  }
  // Per thread, averaged over the threads; the rate is summed over them.
  auto average = [](double value) {
    return benchmark::Counter(value, benchmark::Counter::kAvgThreads);
  };
  state.counters["lease_median_ms"] = average(quantile(lease_ms, 0.5));
  state.counters["lease_p99_ms"] = average(quantile(lease_ms, 0.99));
  state.counters["report_median_ms"] = average(quantile(report_ms, 0.5));
  state.counters["report_p99_ms"] = average(quantile(report_ms, 0.99));
  state.counters["reports_per_s"] =
      benchmark::Counter(static_cast<double>(report_ms.size()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WorkerRound)
    ->Iterations(500)
    ->Threads(1)
    ->Threads(16)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_Refit(benchmark::State& state) {
  store::Database& db = *ladder().db;
  league::LadderRatings ratings;
  std::int64_t now = kNow + 100000;
  for (auto _ : state) {
    std::vector<league::ActiveVersion> versions;
    std::vector<league::PairingTotal> totals;
    {
      store::Transaction tx(db, store::Access::kRead);
      for (const store::VersionRecord& v : store::rated_versions(tx))
        versions.push_back(
            {v.id, v.entrant, v.rating, v.pairs, v.in_flight, v.last_played, v.last_opponent});
      for (const store::PairTotal& t : store::pair_totals(tx))
        totals.push_back({t.a, t.b, t.games, t.points_a});
    }
    std::vector<store::StoredRating> stored;
    for (const league::Rating& r : ratings.refit(versions, totals))
      stored.push_back({r.id, r.rating, r.low, r.high, r.provisional});
    store::Transaction tx(db);
    store::store_ratings(tx, stored, ++now);
    tx.commit();
  }
}
BENCHMARK(BM_Refit)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
