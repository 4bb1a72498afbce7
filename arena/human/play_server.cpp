#include "arena/human/play_server.h"

#include <httplib.h>

#include <charconv>
#include <condition_variable>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <thread>

#include "arena/process/stop_signals.h"
#include "arena/system/bounded_read.h"
#include "arena/system/deadline.h"

namespace arena::human {
namespace fs = std::filesystem;
namespace {

constexpr int kThreads = 8;
constexpr std::size_t kKeepAliveRequests = 20;
constexpr time_t kKeepAliveSeconds = 2;
constexpr time_t kReadSeconds = 5;
constexpr time_t kWriteSeconds = 5;
// A move is three characters; anything much longer is no move.
constexpr std::size_t kMaxBody = 256;
// How long a request for the state waits for a change before it answers all the same.
constexpr auto kLongPoll = std::chrono::seconds(10);
// How long the replay stays served after the result was shown, without a request.
constexpr auto kLinger = std::chrono::seconds(120);
// How long the server may take to begin listening.
constexpr auto kStartPatience = std::chrono::seconds(10);
// The largest file served: the viewer's and a game's files are far smaller.
constexpr std::size_t kMaxServedFile = 16u << 20;
// The header every move and close must carry: a page of another site cannot send it to us
// without asking first, which this server never allows.
constexpr const char* kOwnPageHeader = "X-Zarvo-Play";

constexpr const char* kPage = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Zarvo: your game</title>
<link rel="stylesheet" href="/viewer/zarvo.css">
<link rel="stylesheet" href="/viewer/zarvo-play.css">
<script src="/viewer/zarvo.js"></script>
<script src="/viewer/zarvo-play.js"></script>
</head>
<body>
<div id="play"></div>
<script>new ZarvoPlay(document.getElementById('play'));</script>
</body>
</html>
)";

std::string content_type(const fs::path& file) {
  const std::string extension = file.extension().string();
  if (extension == ".html") return "text/html; charset=utf-8";
  if (extension == ".js") return "text/javascript; charset=utf-8";
  if (extension == ".css") return "text/css; charset=utf-8";
  return "text/plain; charset=utf-8";
}

void send_file(httplib::Response& response, const fs::path& file) {
  std::error_code error;
  if (!fs::is_regular_file(file, error)) {
    response.status = 404;
    response.set_content("no such file here", "text/plain");
    return;
  }
  response.set_content(read_head(file, kMaxServedFile), content_type(file).c_str());
  response.set_header("Cache-Control", "no-store");
}

void send_error(httplib::Response& response, int status, const std::string& message) {
  response.status = status;
  const nlohmann::json body = {{"error", message}};
  response.set_content(body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                       "application/json");
}

}  // namespace

struct PlayServer::Impl {
  Impl(PersonSeat& seat, fs::path viewer_dir) : seat(seat), viewer_dir(std::move(viewer_dir)) {}

  void route();
  bool own_host(const httplib::Request& request) const;
  void state(const httplib::Request& request, httplib::Response& response);
  void move(const httplib::Request& request, httplib::Response& response);
  void noted_request();

  PersonSeat& seat;
  fs::path viewer_dir;
  httplib::Server server;
  std::thread thread;
  int port = 0;

  std::mutex mutex;  // guards what follows
  std::condition_variable wake;
  std::map<std::string, fs::path> replay_files;  // by address
  bool close_asked = false;
  TimePoint last_request = Clock::now();
};

void PlayServer::Impl::route() {
  // A page of another site may not reach this server by a name it controls (DNS rebinding).
  server.set_pre_routing_handler(
      [this](const httplib::Request& request, httplib::Response& response) {
        noted_request();
        if (own_host(request)) return httplib::Server::HandlerResponse::Unhandled;
        send_error(response, 403, "this page is served for 127.0.0.1 only");
        return httplib::Server::HandlerResponse::Handled;
      });
  server.Get("/", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(kPage, "text/html; charset=utf-8");
  });
  // The page has no icon; saying so spares the browser a 404.
  server.Get("/favicon.ico",
             [](const httplib::Request&, httplib::Response& response) { response.status = 204; });
  server.Get(R"(/viewer/(zarvo\.js|zarvo\.css|zarvo-play\.js|zarvo-play\.css))",
             [this](const httplib::Request& request, httplib::Response& response) {
               send_file(response, viewer_dir / request.matches[1].str());
             });
  server.Get("/state", [this](const httplib::Request& request, httplib::Response& response) {
    state(request, response);
  });
  server.Post("/move", [this](const httplib::Request& request, httplib::Response& response) {
    move(request, response);
  });
  server.Post("/close", [this](const httplib::Request& request, httplib::Response& response) {
    if (!request.has_header(kOwnPageHeader)) return send_error(response, 403, "not from the page");
    std::lock_guard lock(mutex);
    close_asked = true;
    wake.notify_all();
    response.set_content("{}", "application/json");
  });
  server.Get(R"(/replay/[^/]+/[^/]+)",
             [this](const httplib::Request& request, httplib::Response& response) {
               std::unique_lock lock(mutex);
               auto found = replay_files.find(request.path);
               if (found == replay_files.end()) return send_error(response, 404, "no such file");
               const fs::path file = found->second;
               lock.unlock();
               send_file(response, file);
             });
  server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
    if (!response.body.empty()) return;
    switch (response.status) {
      case 404: return send_error(response, 404, "no such page here");
      case 413: return send_error(response, 413, "too large a request: a move is 3 characters");
      default:
        return send_error(response, response.status, "HTTP " + std::to_string(response.status));
    }
  });
  server.set_exception_handler(
      [](const httplib::Request&, httplib::Response& response, std::exception_ptr error) {
        std::string what = "unknown error";
        try {
          std::rethrow_exception(error);
        } catch (const std::exception& caught) {
          what = caught.what();
        } catch (...) {
        }
        send_error(response, 500, what);
      });
}

bool PlayServer::Impl::own_host(const httplib::Request& request) const {
  const std::string host = request.get_header_value("Host");
  const std::string suffix = ":" + std::to_string(port);
  return host == "127.0.0.1" + suffix || host == "localhost" + suffix;
}

void PlayServer::Impl::noted_request() {
  std::lock_guard lock(mutex);
  last_request = Clock::now();
}

// "/state?seen=V": the state once its version is no longer V (at once without V).
void PlayServer::Impl::state(const httplib::Request& request, httplib::Response& response) {
  const std::string seen_text = request.get_param_value("seen");
  long long seen = -1;
  if (!seen_text.empty()) {
    auto [end, error] =
        std::from_chars(seen_text.data(), seen_text.data() + seen_text.size(), seen);
    if (error != std::errc() || end != seen_text.data() + seen_text.size()) {
      return send_error(response, 400, "seen= takes a whole number");
    }
    seat.wait_for_change(seen, Clock::now() + kLongPoll);
  }
  response.set_content(seat.state_json(), "application/json");
  response.set_header("Cache-Control", "no-store");
}

// The body is the person's answer, "Fch".
void PlayServer::Impl::move(const httplib::Request& request, httplib::Response& response) {
  if (!request.has_header(kOwnPageHeader)) return send_error(response, 403, "not from the page");
  if (auto refusal = seat.play(request.body)) {
    switch (refusal->kind) {
      case MoveRefusal::Kind::kMalformed: return send_error(response, 400, refusal->message);
      case MoveRefusal::Kind::kNotYourTurn: return send_error(response, 409, refusal->message);
      case MoveRefusal::Kind::kNotLegal: return send_error(response, 422, refusal->message);
    }
  }
  response.set_content("{}", "application/json");
}

PlayServer::PlayServer(PersonSeat& seat, const fs::path& viewer_dir, int port)
    : impl_(std::make_unique<Impl>(seat, viewer_dir)) {
  httplib::Server& server = impl_->server;
  // cpp-httplib takes ownership of the queue it is handed.
  server.new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
  server.set_keep_alive_max_count(kKeepAliveRequests);
  server.set_keep_alive_timeout(kKeepAliveSeconds);
  server.set_read_timeout(kReadSeconds);
  server.set_write_timeout(kWriteSeconds);
  server.set_payload_max_length(kMaxBody);
  impl_->route();
  if (port == 0) {
    impl_->port = server.bind_to_any_port("127.0.0.1");
  } else if (server.bind_to_port("127.0.0.1", port)) {
    impl_->port = port;
  }
  if (impl_->port <= 0) {
    throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port));
  }
  impl_->thread = std::thread([this] { impl_->server.listen_after_bind(); });
  // stop() only ends a server that has begun to listen: a game that fails at once must not
  // leave the destructor waiting on one that began later.
  const TimePoint patience = Clock::now() + kStartPatience;
  while (!server.is_running() && Clock::now() < patience) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!server.is_running()) {
    server.stop();
    impl_->thread.join();
    throw std::runtime_error("the page's server did not start");
  }
}

PlayServer::~PlayServer() {
  impl_->seat.close();
  impl_->server.stop();
  impl_->thread.join();
}

std::string PlayServer::url() const {
  return "http://127.0.0.1:" + std::to_string(impl_->port) + "/";
}

std::string PlayServer::serve_replay(const GameFiles& files, const fs::path& out_dir) {
  const std::string logs = "/replay/" + std::string(GameFiles::kLogDirName) + "/";
  std::lock_guard lock(impl_->mutex);
  for (const fs::path& file : {files.page(), files.log(), files.turns()}) {
    impl_->replay_files[logs + file.filename().string()] = file;
  }
  for (const char* viewer : {"zarvo.js", "zarvo.css"}) {
    impl_->replay_files[std::string("/replay/resources/") + viewer] =
        out_dir / "resources" / viewer;
  }
  return logs + files.page().filename().string();
}

void PlayServer::wait_until_done() {
  std::unique_lock lock(impl_->mutex);
  for (;;) {
    if (stop_signal_received()) return;
    if (impl_->seat.result_shown() &&
        (impl_->close_asked || Clock::now() - impl_->last_request > kLinger)) {
      return;
    }
    // A stop signal cannot wake this wait itself.
    impl_->wake.wait_for(lock, std::chrono::milliseconds(200));
  }
}

}  // namespace arena::human
