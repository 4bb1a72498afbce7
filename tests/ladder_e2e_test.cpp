// The ladder end to end, as its users run it: a server (`zarvo-ladder serve`) on a free port of
// 127.0.0.1, entrants and workers added with `admin`, three entrants submitting with `submit`
// (a C entry, a Python entry and one that does not build), and two workers building and playing
// until 20 pairs are in. On the way one worker is killed with SIGKILL in the middle of a pair
// and the server is killed and restarted: no pair may be lost or counted twice, and the
// stronger entry must lead. Once with SQLite and once with PostgreSQL.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ladder/client/api_client.h"
#include "tests/support/process_check.h"
#include "tests/support/scratch_postgres.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test_support::read_file;
using test_support::run_program;

const std::string kLadder = std::string(ZARVO_BIN_DIR) + "/zarvo-ladder";
constexpr int kPairs = 20;

// Waits for `ready`, checking twice a second; false after `patience`, so that a ladder that
// never gets there fails the test rather than hanging it.
template <typename Ready>
bool eventually(Ready ready, std::chrono::seconds patience = std::chrono::seconds(300)) {
  const auto give_up = std::chrono::steady_clock::now() + patience;
  while (!ready()) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  return true;
}

int wait_exit(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class Ladder {
 public:
  Ladder(fs::path dir, std::string db) : dir_(std::move(dir)), db_(std::move(db)) {
    fs::create_directories(dir_ / "data");
  }
  ~Ladder() {
    for (pid_t pid : workers_) stop(pid);
    if (server_ > 0) stop(server_);
  }

  // The new account's token, in a file of its own.
  fs::path add(const std::string& kind, const std::string& name) {
    std::vector<std::string> args = {kLadder, "admin", "--data", (dir_ / "data").string()};
    if (!db_.empty()) args.insert(args.end(), {"--db", db_});
    args.insert(args.end(), {kind, name});
    const test_support::ProgramRun run = run_program(args);
    EXPECT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> lines = test_support::lines_of(run.out);
    const fs::path file = dir_ / (name + ".token");
    std::ofstream(file) << (lines.empty() ? "" : lines.back()) << "\n";
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    return file;
  }

  // Starts the server, on the port it had before when restarted.
  void serve() {
    const std::string listen =
        "127.0.0.1:" + (url_.empty() ? "0" : url_.substr(url_.rfind(':') + 1));
    std::vector<std::string> args = {
        kLadder, "serve",           "--data", (dir_ / "data").string(), "--listen",
        listen,  "--lease-seconds", "6",      "--heartbeat-seconds",    "2"};
    if (!db_.empty()) args.insert(args.end(), {"--db", db_});
    const fs::path out = dir_ / ("serve" + std::to_string(++serves_) + ".out");
    server_ = test_support::start_program(args, out.string());
    ASSERT_TRUE(
        eventually([&] { return read_file(out).find("listening on http://") != std::string::npos; },
                   std::chrono::seconds(60)))
        << read_file(out);
    const std::string text = read_file(out);
    const std::size_t start = text.find("http://");
    url_ = text.substr(start, text.find_first_of(" \n", start) - start);
  }

  void kill_server() {
    ::kill(server_, SIGKILL);
    wait_exit(server_);
    server_ = -1;
  }

  pid_t start_worker(const fs::path& token, const std::string& name) {
    const pid_t pid = test_support::start_program(
        {kLadder, "worker", "--server", url_, "--token-file", token.string(), "--concurrency", "1",
         "--cache", (dir_ / (name + ".cache")).string()},
        (dir_ / (name + ".out")).string());
    workers_.push_back(pid);
    return pid;
  }

  // Ends a worker with `sig` and returns its exit status.
  int end_worker(pid_t pid, int sig) {
    ::kill(pid, sig);
    std::erase(workers_, pid);
    return wait_exit(pid);
  }

  json get(const std::string& path) {
    ladder::client::ApiClient client(url_, "");
    try {
      const ladder::client::Reply reply = client.get(path);
      return reply.ok() ? reply.json() : json();
    } catch (const ladder::client::ConnectionError&) {
      return json();
    }
  }

  // Pairs played, from the leaderboard: each game counts for both its players.
  int pairs() {
    int games = 0;
    const json board = get("/api/leaderboard");
    if (!board.is_object()) return 0;
    for (const json& entry : board["entries"]) games += entry.value("games", 0);
    return games / 4;
  }

  // Every game, newest first, followed through the listing's pages.
  std::vector<json> games() {
    std::vector<json> all;
    std::string path = "/api/games?limit=100";
    for (;;) {
      const json page = get(path);
      if (!page.is_object()) return all;
      for (const json& game : page["games"]) all.push_back(game);
      if (page["next"].is_null()) return all;
      path = "/api/games?limit=100&before=" + std::to_string(page["next"].get<long long>());
    }
  }

  const std::string& url() const { return url_; }
  const fs::path& dir() const { return dir_; }

 private:
  static void stop(pid_t pid) {
    ::kill(pid, SIGKILL);
    wait_exit(pid);
  }

  fs::path dir_;
  std::string db_;
  std::string url_;
  pid_t server_ = -1;
  int serves_ = 0;
  std::vector<pid_t> workers_;
};

fs::path entry_with(const fs::path& dir, const fs::path& source, const std::string& name) {
  fs::create_directories(dir);
  fs::copy_file(source, dir / name, fs::copy_options::overwrite_existing);
  return dir;
}

test_support::ProgramRun submit(const Ladder& ladder, const fs::path& token,
                                const fs::path& entry) {
  return run_program({kLadder, "submit", "--server", ladder.url(), "--token-file", token.string(),
                      entry.string()});
}

void play_a_ladder(const std::string& db) {
  test_support::adopt_orphans();
  Ladder ladder(test_support::fresh_test_dir("ladder_e2e_"), db);
  const fs::path alice = ladder.add("add-entrant", "alice");
  const fs::path bob = ladder.add("add-entrant", "bob");
  const fs::path carol = ladder.add("add-entrant", "carol");
  const fs::path one = ladder.add("add-worker", "one");
  const fs::path two = ladder.add("add-worker", "two");
  ASSERT_NO_FATAL_FAILURE(ladder.serve());
  pid_t first = ladder.start_worker(one, "one");
  const pid_t second = ladder.start_worker(two, "two");

  // The first-fit C bot against the greedy Python sample bot, and C that does not compile.
  const fs::path source = ZARVO_SOURCE_DIR;
  const auto c = submit(
      ladder, alice, entry_with(ladder.dir() / "alice", source / "tests/entries/c/bot.c", "bot.c"));
  EXPECT_EQ(c.status, 0) << c.out << c.err;
  EXPECT_NE(c.out.find("version 1: active"), std::string::npos) << c.out;
  const auto python =
      submit(ladder, bob,
             entry_with(ladder.dir() / "bob", source / "players/zarvo_bot.py", "zarvo_bot.py"));
  EXPECT_EQ(python.status, 0) << python.out << python.err;
  fs::create_directories(ladder.dir() / "carol");
  std::ofstream(ladder.dir() / "carol/bot.c") << "int main(void) { return missing; }\n";
  const auto broken = submit(ladder, carol, ladder.dir() / "carol");
  EXPECT_EQ(broken.status, 1) << broken.out << broken.err;
  EXPECT_NE(broken.out.find("version 1: failed: "), std::string::npos) << broken.out;

  // Worker one killed while it plays a pair: its lease expires and the pair is played again.
  ASSERT_TRUE(eventually([&] {
    const std::vector<std::string> lines =
        test_support::lines_of(read_file(ladder.dir() / "one.out"));
    return ladder.pairs() >= 2 && !lines.empty() &&
           lines.back().find(": pair of") != std::string::npos;
  })) << read_file(ladder.dir() / "one.out");
  EXPECT_EQ(ladder.end_worker(first, SIGKILL), 128 + SIGKILL);
  first = ladder.start_worker(one, "one-again");

  // The server killed and restarted on its port: the workers wait it out.
  ASSERT_TRUE(eventually([&] { return ladder.pairs() >= 6; }));
  const std::vector<json> before = ladder.games();
  ladder.kill_server();
  std::this_thread::sleep_for(std::chrono::seconds(2));
  ASSERT_NO_FATAL_FAILURE(ladder.serve());

  ASSERT_TRUE(eventually([&] { return ladder.pairs() >= kPairs; }))
      << read_file(ladder.dir() / "two.out");
  // SIGTERM, as a Slurm job's end sends it: the worker gives its job back and exits 0.
  EXPECT_EQ(ladder.end_worker(second, SIGTERM), 0);
  EXPECT_EQ(ladder.end_worker(first, SIGTERM), 0);

  const std::vector<json> games = ladder.games();
  std::map<long long, int> games_of_job;
  std::set<long long> ids;
  for (const json& game : games) {
    ++games_of_job[game["job"].get<long long>()];
    ids.insert(game["id"].get<long long>());
  }
  for (const auto& [job, count] : games_of_job) EXPECT_EQ(count, 2) << "job " << job;
  for (const json& game : before) EXPECT_TRUE(ids.contains(game["id"].get<long long>()));
  const json board = ladder.get("/api/leaderboard");
  ASSERT_EQ(board["entries"].size(), 2u) << board.dump();
  EXPECT_EQ(board["entries"][0]["entrant"], "bob") << board.dump();
  EXPECT_EQ(board["entries"][1]["entrant"], "alice") << board.dump();
  for (const json& entry : board["entries"]) {
    EXPECT_EQ(entry["games"].get<std::size_t>(), games.size()) << board.dump();
  }
  EXPECT_EQ(games.size(), 2 * games_of_job.size());
  // A game's replay page is served from the files its worker reported.
  const json newest =
      ladder.get("/api/games/" + std::to_string(games.front()["id"].get<long long>()));
  ladder::client::ApiClient client(ladder.url(), "");
  const ladder::client::Reply page = client.get(newest.value("replay", "/missing"));
  EXPECT_EQ(page.status, 200);
  EXPECT_NE(page.body.find("<html"), std::string::npos);
  // And the record of its turns that the page loads beside itself, which the public gets
  // without the players' standard error.
  const ladder::client::Reply turns =
      client.get(newest.value("replay", "/missing")
                     .replace(newest.value("replay", "").size() - 5, 5, ".turns.js"));
  EXPECT_EQ(turns.status, 200);
  EXPECT_EQ(turns.body.rfind("zarvoTurnRecord(", 0), 0u) << turns.body.substr(0, 200);
  const json failed = ladder.get("/api/entrants/carol");
  EXPECT_EQ(failed["versions"][0]["state"], "failed") << failed.dump();
}

TEST(LadderEndToEnd, SqliteLadderSurvivesKilledWorkerAndServer) { play_a_ladder(""); }

TEST(LadderEndToEnd, PostgresLadderSurvivesKilledWorkerAndServer) {
  if (test_support::postgres_bin_dir().empty()) GTEST_SKIP() << "no PostgreSQL 15 here";
  test_support::ScratchPostgres postgres;
  play_a_ladder(postgres.new_database());
}

}  // namespace
