// zarvo-ladder worker against a scripted server (cpp-httplib in the test): what a worker does
// with a job it cannot read, sources that are not what the job names, a hostile archive, a lease
// that is gone while it works, a stop signal, and a token the server refuses.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "ladder/archive/archive_digest.h"
#include "tests/support/process_check.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::string kLadder = std::string(ZARVO_BIN_DIR) + "/zarvo-ladder";

// The server's side: jobs handed out in order, sources by SHA-256, and what came back.
class ScriptedServer {
 public:
  ScriptedServer() {
    server_.Post("/api/worker/lease",
                 [this](const httplib::Request& request, httplib::Response& response) {
                   std::lock_guard lock(mutex_);
                   if (refuse_) return answer(response, 401, {{"error", "unknown token"}});
                   if (request.get_header_value("Authorization") != "Bearer worker-token") {
                     return answer(response, 400, {{"error", "no token"}});
                   }
                   json job = jobs_.empty() ? json() : jobs_.front();
                   if (!jobs_.empty()) jobs_.pop_front();
                   answer(response, 200, {{"job", job}});
                 });
    server_.Post("/api/worker/heartbeat", [this](const httplib::Request& request,
                                                 httplib::Response& response) {
      std::lock_guard lock(mutex_);
      const std::string lease = json::parse(request.body).value("lease", "");
      heartbeats_.insert(lease);
      answer(response, lost_.contains(lease) ? 409 : 200, {{"ok", !lost_.contains(lease)}});
    });
    for (const char* path : {"/api/worker/report", "/api/worker/return"}) {
      server_.Post(path, [this, path](const httplib::Request& request,
                                      httplib::Response& response) {
        std::lock_guard lock(mutex_);
        const json body = json::parse(request.body);
        (std::string(path) == "/api/worker/report" ? reports_ : returns_)[body.value("lease", "")] =
            body;
        answer(response, 200, {{"ok", true}});
      });
    }
    server_.Get(R"(/api/worker/sources/([0-9a-f]+))",
                [this](const httplib::Request& request, httplib::Response& response) {
                  std::lock_guard lock(mutex_);
                  response.set_content(sources_[request.matches[1]], "application/gzip");
                });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }
  ~ScriptedServer() {
    server_.stop();
    thread_.join();
  }

  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
  // Serves `bytes` as the sources `sha` (their own SHA-256 unless told otherwise).
  std::string add_sources(const std::string& bytes, std::string sha = "") {
    std::lock_guard lock(mutex_);
    if (sha.empty()) sha = ladder::archive::sha256_hex(bytes);
    sources_[sha] = bytes;
    return sha;
  }
  void add_job(json job) {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  void lose(const std::string& lease) {
    std::lock_guard lock(mutex_);
    lost_.insert(lease);
  }
  void refuse_all() {
    std::lock_guard lock(mutex_);
    refuse_ = true;
  }
  template <typename Look>
  auto look(Look look) {
    std::lock_guard lock(mutex_);
    return look(reports_, returns_, heartbeats_);
  }

 private:
  static void answer(httplib::Response& response, int status, const json& body) {
    response.status = status;
    response.set_content(body.dump(), "application/json");
  }

  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
  std::mutex mutex_;
  std::deque<json> jobs_;
  std::map<std::string, std::string> sources_;
  std::map<std::string, json> reports_, returns_;
  std::set<std::string> heartbeats_, lost_;
  bool refuse_ = false;
};

json build_job(int id, const std::string& sources, int heartbeat_seconds = 30) {
  return {{"id", id},
          {"lease", "L" + std::to_string(id)},
          {"attempt", 1},
          {"lease_seconds", 90},
          {"heartbeat_seconds", heartbeat_seconds},
          {"kind", "build"},
          {"version",
           {{"version_id", id}, {"entrant", "alice"}, {"number", id}, {"sources", sources}}}};
}

// The .tar.gz of `dir`, made by tar, which keeps links as links.
std::string tar_of(const fs::path& dir) {
  const test_support::ProgramRun run = test_support::run_program(
      {"/bin/tar", "czf", (dir.string() + ".tar.gz"), "-C", dir.string(), "."});
  EXPECT_EQ(run.status, 0) << run.err;
  return test_support::read_file(dir.string() + ".tar.gz");
}

template <typename Ready>
bool eventually(Ready ready) {
  for (int i = 0; i < 900; ++i) {
    if (ready()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  return false;
}

int wait_exit(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(LadderWorker, BadJobsAreReportedLostLeasesAbandonedHeldLeasesGivenBack) {
  const fs::path dir = test_support::fresh_test_dir("ladder_worker_");
  std::ofstream(dir / "token") << "worker-token\n";
  fs::permissions(dir / "token", fs::perms::owner_read | fs::perms::owner_write);
  fs::create_directories(dir / "good");
  fs::copy_file(fs::path(ZARVO_SOURCE_DIR) / "tests/entries/c/bot.c", dir / "good/bot.c");
  // A build long enough for its heartbeats.
  fs::create_directories(dir / "slow");
  fs::copy_file(fs::path(ZARVO_SOURCE_DIR) / "tests/entries/c/bot.c", dir / "slow/bot.c");
  std::ofstream(dir / "slow/build.sh") << "sleep 4\ngcc -O2 -o bot bot.c\n";
  fs::create_directories(dir / "linked");
  std::ofstream(dir / "linked/bot.py") << "print('Gbh')\n";
  fs::create_symlink("/etc/passwd", dir / "linked/passwd");

  ScriptedServer server;
  const std::string good = server.add_sources(tar_of(dir / "good"));
  json unreadable = build_job(1, good);
  unreadable["kind"] = "dance";
  server.add_job(unreadable);
  server.add_job(build_job(2, server.add_sources("not the bytes", std::string(64, 'a'))));
  server.add_job(build_job(3, server.add_sources(tar_of(dir / "linked"))));
  server.lose("L4");
  const std::string slow = server.add_sources(tar_of(dir / "slow"));
  server.add_job(build_job(4, slow, 1));
  server.add_job(build_job(5, slow, 1));

  const pid_t worker = test_support::start_program(
      {kLadder, "worker", "--server", server.url(), "--token-file", (dir / "token").string(),
       "--concurrency", "1", "--cache", (dir / "cache").string()},
      (dir / "worker.out").string());
  struct Reap {
    pid_t pid;
    ~Reap() {
      if (pid > 0 && ::kill(pid, SIGKILL) == 0) wait_exit(pid);
    }
  } reap{worker};
  ASSERT_TRUE(eventually([&] {
    return server.look([](auto&, auto&, auto& beats) { return beats.contains("L5"); });
  })) << test_support::read_file(dir / "worker.out");
  ::kill(worker, SIGTERM);
  EXPECT_EQ(wait_exit(worker), 0);
  reap.pid = -1;

  server.look([](auto& reports, auto& returns, auto&) {
    EXPECT_EQ(reports["L1"].value("kind", ""), "error");
    EXPECT_NE(reports["L1"].value("reason", "").find("unknown kind"), std::string::npos);
    EXPECT_NE(reports["L2"].value("reason", "").find("SHA-256"), std::string::npos);
    EXPECT_EQ(reports["L3"].value("kind", ""), "build");
    EXPECT_FALSE(reports["L3"].value("built", true));
    EXPECT_NE(reports["L3"].value("reason", "").find("symbolic link"), std::string::npos);
    EXPECT_FALSE(reports.contains("L4"));  // the lease went to another worker
    EXPECT_FALSE(returns.contains("L4"));
    EXPECT_TRUE(returns.contains("L5"));  // stopped while it held it
    EXPECT_FALSE(reports.contains("L5"));
    return 0;
  });

  // A worker whose token the server refuses stops at once, with exit status 2.
  server.refuse_all();
  EXPECT_EQ(test_support::run_program({kLadder, "worker", "--server", server.url(), "--token-file",
                                       (dir / "token").string()})
                .status,
            2);
}

}  // namespace
