// zarvo-ladder serve and admin as their users meet them: real processes on 127.0.0.1, spoken to
// over HTTP. Tokens and caps, a build and a pair leased and reported by hand, a report sent
// twice or on a lease no longer held, leases that expire, and a server killed and started again.
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "ladder/archive/entry_archive.h"
#include "tests/support/process_check.h"
#include "tests/support/scratch_postgres.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::string kLadder = std::string(ZARVO_BIN_DIR) + "/zarvo-ladder";

struct Scratch {
  Scratch() {
    char name[] = "/tmp/zarvo-ladder-XXXXXX";
    dir = ::mkdtemp(name);
  }
  ~Scratch() { fs::remove_all(dir); }
  fs::path dir;
};

// The token an admin command printed on its last line.
std::string admin(const fs::path& data, const std::vector<std::string>& words,
                  const std::vector<std::string>& db = {}) {
  std::vector<std::string> args = {kLadder, "admin", "--data", (data / "ladder").string()};
  args.insert(args.end(), db.begin(), db.end());
  args.insert(args.end(), words.begin(), words.end());
  auto run = test_support::run_program(args);
  EXPECT_EQ(run.status, 0) << run.err;
  auto lines = test_support::lines_of(run.out);
  return lines.empty() ? "" : lines.back();
}

class Server {
 public:
  Server(const fs::path& data, std::vector<std::string> options = {}) : out_(data / "serve.out") {
    std::vector<std::string> args = {kLadder,    "serve",      "--data", (data / "ladder").string(),
                                     "--listen", "127.0.0.1:0"};
    args.insert(args.end(), options.begin(), options.end());
    fs::remove(out_);
    pid_ = test_support::start_program(args, out_.string());
    const std::string prefix = "listening on http://127.0.0.1:";
    for (int i = 0; i < 1200 && port_ == 0; ++i) {
      auto text = test_support::read_file(out_);
      if (auto at = text.find(prefix); at != std::string::npos && text.back() == '\n') {
        port_ = std::stoi(text.substr(at + prefix.size()));
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    }
  }
  ~Server() { kill(SIGKILL); }
  void kill(int signal) {
    if (pid_ <= 0) return;
    ::kill(pid_, signal);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  int port() const { return port_; }

  httplib::Result call(const std::string& method, const std::string& path, const std::string& token,
                       const std::string& body = "", const std::string& type = "application/json") {
    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(60, 0);
    httplib::Headers headers;
    if (!token.empty()) headers.emplace("Authorization", "Bearer " + token);
    if (method == "GET") return client.Get(path, headers);
    return client.Post(path, headers, body, type);
  }
  // The answer's JSON, after checking its status.
  json expect(int status, const std::string& method, const std::string& path,
              const std::string& token, const json& body = nullptr) {
    auto res = call(method, path, token, body.is_null() ? "" : body.dump());
    EXPECT_TRUE(res) << method << " " << path;
    if (!res) return nullptr;
    EXPECT_EQ(res->status, status) << method << " " << path << ": " << res->body;
    return json::parse(res->body, nullptr, false);
  }

 private:
  fs::path out_;
  pid_t pid_ = -1;
  int port_ = 0;
};

std::string entry_archive(const fs::path& scratch, const std::string& name) {
  fs::path dir = scratch / ("entry-" + name);
  fs::create_directories(dir);
  std::ofstream(dir / "main.py") << "print('" << name << "')\n";
  fs::path archive = scratch / (name + ".tar.gz");
  ladder::archive::pack_directory(dir, archive, {});
  return test_support::read_file(archive);
}

void submit(Server& server, const std::string& token, const std::string& archive, int version) {
  auto res = server.call("POST", "/api/submissions", token, archive, "application/gzip");
  ASSERT_TRUE(res);
  ASSERT_EQ(res->status, 201) << res->body;
  EXPECT_EQ(json::parse(res->body)["version"], version);
}

json game(std::int64_t seat1, std::int64_t seat2, int winner) {
  return {{"players", {seat1, seat2}},
          {"points", {20, 10}},
          {"outcome", "PLAYER_1:_WIN"},
          {"winner", winner},
          {"log", "the log"},
          {"replay", "<html>replay</html>"},
          {"turns", "[]"},
          {"usage", "usage"},
          {"stderr", {"err one", "err two"}},
          {"notes", nullptr}};
}

json lease(Server& server, const std::string& worker) {
  return server.expect(200, "POST", "/api/worker/lease", worker, {{"slot", "test/0"}})["job"];
}

TEST(LadderServer, RefusesUnknownTokensWrongKindsAndOversizedOrBadBodies) {
  // The server stops reading an oversized upload: the rest of it meets a closed socket.
  ::signal(SIGPIPE, SIG_IGN);
  Scratch scratch;
  std::string alice = admin(scratch.dir, {"add-entrant", "alice"});
  std::string box = admin(scratch.dir, {"add-worker", "box"});
  EXPECT_EQ(alice.size(), 64u);
  Server server(scratch.dir);
  ASSERT_NE(server.port(), 0);
  EXPECT_TRUE(server.expect(401, "GET", "/api/me", std::string(64, '0')).contains("error"));
  EXPECT_EQ(server.expect(200, "GET", "/api/me", alice)["entrant"], "alice");
  server.expect(403, "POST", "/api/worker/lease", alice, {{"slot", "x/0"}});
  server.expect(403, "POST", "/api/submissions", box);
  server.expect(400, "POST", "/api/worker/lease", box, "not an object");
  server.expect(400, "POST", "/api/worker/lease", box, {{"slot", 7}});
  server.expect(400, "POST", "/api/worker/report", box, {{"lease", "x"}, {"job", -1}});
  server.expect(404, "GET", "/api/no-such-thing", "");

  // curl asks before it sends a large body, as clients of uploads do, and hears 413 at once.
  fs::path big = scratch.dir / "big.tar.gz";
  std::ofstream(big) << std::string(6 << 20, 'x');
  auto curl = test_support::run_program(
      {"/usr/bin/curl", "-s", "-o", "/dev/null", "-w", "%{http_code}", "-H",
       "Authorization: Bearer " + alice, "-H", "Content-Type: application/gzip", "--data-binary",
       "@" + big.string(),
       "http://127.0.0.1:" + std::to_string(server.port()) + "/api/submissions"});
  EXPECT_EQ(curl.out, "413");
  auto res = server.call("POST", "/api/submissions", alice, "not a gzip", "application/gzip");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 400) << res->body;
  EXPECT_TRUE(server.expect(200, "GET", "/api/entrants/alice", "")["versions"].empty());
}

// The same on the data directory's SQLite and on a scratch PostgreSQL.
class LadderCycle : public ::testing::TestWithParam<std::string> {
 protected:
  static void TearDownTestSuite() { postgres_.reset(); }
  std::vector<std::string> database() {
    if (GetParam() == "sqlite") return {};
    if (!postgres_) postgres_ = std::make_unique<test_support::ScratchPostgres>();
    return {"--db", postgres_->new_database()};
  }
  static std::unique_ptr<test_support::ScratchPostgres> postgres_;
};
std::unique_ptr<test_support::ScratchPostgres> LadderCycle::postgres_;

TEST_P(LadderCycle, ReportsCountOnceAndSurviveTheServerBeingKilled) {
  Scratch scratch;
  auto db = database();
  std::string alice = admin(scratch.dir, {"add-entrant", "alice"}, db);
  std::string bob = admin(scratch.dir, {"add-entrant", "bob"}, db);
  std::string box = admin(scratch.dir, {"add-worker", "box"}, db);
  std::string other = admin(scratch.dir, {"add-worker", "other"}, db);
  auto server = std::make_unique<Server>(scratch.dir, db);
  ASSERT_NE(server->port(), 0);
  submit(*server, alice, entry_archive(scratch.dir, "alice"), 1);
  submit(*server, bob, entry_archive(scratch.dir, "bob"), 1);

  std::vector<std::int64_t> versions;
  for (int i = 0; i < 2; ++i) {
    json job = lease(*server, box);
    ASSERT_EQ(job["kind"], "build");
    auto sources = server->call(
        "GET", "/api/worker/sources/" + job["version"]["sources"].get<std::string>(), box);
    EXPECT_EQ(sources->status, 200);
    json report = {{"lease", job["lease"]}, {"job", job["id"]}, {"kind", "build"},
                   {"built", true},         {"passed", true},   {"reason", nullptr},
                   {"build_log", "built"}};
    server->expect(409, "POST", "/api/worker/report", other, report);
    EXPECT_EQ(server->expect(200, "POST", "/api/worker/report", box, report), json({{"ok", true}}));
    EXPECT_EQ(server->expect(200, "POST", "/api/worker/report", box, report)["duplicate"], true);
    versions.push_back(job["version"]["version_id"]);
  }
  EXPECT_EQ(server->expect(200, "GET", "/api/entrants/alice", "")["active"], 1);
  auto log = server->call("GET", "/api/entrants/alice/versions/1/build-log", alice);
  EXPECT_EQ(log->body, "built");
  server->expect(403, "GET", "/api/entrants/alice/versions/1/build-log", bob);

  // With both versions active the worker's slot is given ranked pairs.
  json pair = lease(*server, box);
  ASSERT_EQ(pair["kind"], "pair");
  EXPECT_EQ(pair["seed"].get<std::string>().size(), 64u);
  std::int64_t first = pair["players"][0]["version_id"], second = pair["players"][1]["version_id"];
  server->expect(200, "POST", "/api/worker/heartbeat", box, {{"lease", pair["lease"]}});
  server->expect(409, "POST", "/api/worker/heartbeat", other, {{"lease", pair["lease"]}});
  json report = {{"lease", pair["lease"]},
                 {"job", pair["id"]},
                 {"kind", "pair"},
                 {"games", {game(first, second, 1), game(second, first, 1)}}};
  server->expect(200, "POST", "/api/worker/report", box, report);
  server->expect(409, "POST", "/api/worker/heartbeat", box, {{"lease", pair["lease"]}});

  json games = server->expect(200, "GET", "/api/games", "")["games"];
  ASSERT_EQ(games.size(), 2u);
  std::string id = std::to_string(games[0]["id"].get<int>());
  json one = server->expect(200, "GET", "/api/games/" + id, alice);
  ASSERT_TRUE(one.contains("stderr"));
  EXPECT_FALSE(server->expect(200, "GET", "/api/games/" + id, "").contains("stderr"));
  EXPECT_EQ(server->call("GET", one["replay"].get<std::string>(), "")->body, "<html>replay</html>");
  EXPECT_EQ(server->call("GET", one["stderr"].get<std::string>(), bob)->status, 403);

  // Killed at once and started again, the server has every acknowledged report, once.
  server->kill(SIGKILL);
  server = std::make_unique<Server>(scratch.dir, db);
  EXPECT_EQ(server->expect(200, "POST", "/api/worker/report", box, report)["duplicate"], true);
  json board = server->expect(200, "GET", "/api/leaderboard", "")["entries"];
  ASSERT_EQ(board.size(), 2u);
  EXPECT_EQ(board[0]["games"], 2);
  EXPECT_EQ(board[0]["wins"], 1);
  EXPECT_EQ(server->expect(200, "GET", "/api/games", "")["games"].size(), 2u);
  EXPECT_EQ(server->call("GET", one["replay"].get<std::string>(), "")->body, "<html>replay</html>");

  // The final round comes before ranked pairs, freezes submissions, and its last report
  // settles the final standings and their site.
  admin(scratch.dir, {"final", "--top", "2", "--games-per-pair", "2"}, db);
  server->expect(403, "POST", "/api/submissions", alice);
  json final_pair = lease(*server, box);
  ASSERT_EQ(final_pair["final"], true);
  first = final_pair["players"][0]["version_id"];
  second = final_pair["players"][1]["version_id"];
  server->expect(200, "POST", "/api/worker/report", box,
                 {{"lease", final_pair["lease"]},
                  {"job", final_pair["id"]},
                  {"kind", "pair"},
                  {"games", {game(first, second, 1), game(second, first, 2)}}});
  json final_board;
  for (int i = 0; i < 600 && (final_board.is_null() || final_board["final"].is_null()); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    final_board = server->expect(200, "GET", "/api/leaderboard", "");
  }
  ASSERT_EQ(final_board["final"].size(), 2u);
  EXPECT_EQ(final_board["final"][0]["wins"], 2);
  EXPECT_TRUE(fs::exists(scratch.dir / "ladder" / "final" / "index.html"));
  EXPECT_FALSE(final_board["entries"][0]["rating"].is_null());
}

INSTANTIATE_TEST_SUITE_P(Backends, LadderCycle, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return info.param; });

TEST(LadderServer, StopsWithAReasonWhenItsDatabaseCannotBeOpened) {
  Scratch scratch;
  auto run = test_support::run_program({kLadder, "serve", "--data", scratch.dir.string(), "--db",
                                        "sqlite:/nonexistent/dir/ladder.db"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cannot open the database"), std::string::npos) << run.err;
}

TEST(LadderServer, AnExpiredLeaseComesBackAndFailsAfterThreeAttempts) {
  Scratch scratch;
  std::string alice = admin(scratch.dir, {"add-entrant", "alice"});
  std::string box = admin(scratch.dir, {"add-worker", "box"});
  Server server(scratch.dir, {"--lease-seconds", "2", "--heartbeat-seconds", "1"});
  ASSERT_NE(server.port(), 0);
  submit(server, alice, entry_archive(scratch.dir, "alice"), 1);
  json stale;
  for (int attempt = 1; attempt <= 3; ++attempt) {
    json job = lease(server, box);
    ASSERT_FALSE(job.is_null()) << "attempt " << attempt;
    EXPECT_EQ(job["attempt"], attempt);
    EXPECT_EQ(job["lease_seconds"], 2);
    if (attempt == 1) stale = job;
    std::this_thread::sleep_for(std::chrono::milliseconds(3500));
  }
  server.expect(
      409, "POST", "/api/worker/report", box,
      {{"lease", stale["lease"]}, {"job", stale["id"]}, {"kind", "error"}, {"reason", "late"}});
  EXPECT_TRUE(lease(server, box).is_null());
  EXPECT_EQ(server.expect(200, "GET", "/api/entrants/alice", "")["versions"][0]["state"], "failed");
  auto status = test_support::run_program(
      {kLadder, "admin", "--data", (scratch.dir / "ladder").string(), "status"});
  EXPECT_NE(status.out.find("lease expired"), std::string::npos) << status.out;
}

}  // namespace
