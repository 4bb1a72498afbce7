#include "ladder/server/ladder_server.h"

#include <signal.h>
#include <unistd.h>

#include <iostream>
#include <thread>

#include "ladder/server/entrant_routes.h"
#include "ladder/server/http_answers.h"
#include "ladder/server/ladder_context.h"
#include "ladder/server/ladder_upkeep.h"
#include "ladder/server/matchmaking.h"
#include "ladder/server/public_routes.h"
#include "ladder/server/worker_routes.h"
#include "ladder/site/site_routes.h"
#include "ladder/store/ladder_settings.h"
#include "ladder/store/schema.h"

namespace ladder::server {

namespace {

// Idle and slow clients are dropped: a connection serves at most 100 requests and waits at
// most 5 s for the next, and a read or write stalled for 30 s ends it.
void configure(httplib::Server& server, const ServerOptions& options) {
  const int threads = options.threads;
  // cpp-httplib takes ownership of the queue it is handed.
  server.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  server.set_keep_alive_max_count(100);
  server.set_keep_alive_timeout(5);
  server.set_read_timeout(30, 0);
  server.set_write_timeout(30, 0);
  server.set_payload_max_length(options.max_report_bytes);
  // A compressed body would be inflated whole in memory, past every cap.
  server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
    if (!req.has_header("Content-Encoding")) return httplib::Server::HandlerResponse::Unhandled;
    send_error(res, 415, "compressed request bodies are not taken");
    return httplib::Server::HandlerResponse::Handled;
  });
  server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return;
    send_error(res, res.status,
               res.status == 404   ? "no such endpoint"
               : res.status == 413 ? "the body is over its cap"
                                   : "the request is refused");
  });
  server.set_exception_handler([](const httplib::Request&, httplib::Response& res,
                                  std::exception_ptr error) { answer_exception(res, error); });
}

// SIGTERM and SIGINT stop the server; every thread started after this inherits the mask, so
// only the waiting thread takes them.
std::thread stop_on_signal(httplib::Server& server) {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  return std::thread([&server, signals] {
    int received = 0;
    sigwait(&signals, &received);
    server.stop();
  });
}

}  // namespace

int run_server(const ServerOptions& options) {
  // A client that goes away while it is answered must cost its connection, not the server.
  ::signal(SIGPIPE, SIG_IGN);
  store::DataDir dir(options.data_dir);
  dir.create();
  dir.discard_unfinished_uploads();
  std::string url = options.database_url.empty() ? store::default_database_url(options.data_dir)
                                                 : options.database_url;
  store::Database db(url);
  store::migrate(db);
  store::ensure_ladder_seed(db);

  Matchmaking matchmaking(db);
  LadderUpkeep upkeep(db, dir, matchmaking);
  LadderContext context{options, db, dir, matchmaking, upkeep};

  httplib::Server server;
  configure(server, options);
  server.set_expect_100_continue_handler(
      [&context](const httplib::Request& req, httplib::Response& res) {
        if (req.path == "/api/submissions" && !upload_fits(context, req)) {
          send_error(res, 413, "the archive is over its cap");
          return 413;
        }
        return 100;
      });
  add_public_routes(server, context);
  add_entrant_routes(server, context);
  add_worker_routes(server, context);
  site::add_site_routes(server, context);

  int port = options.port == 0
                 ? server.bind_to_any_port(options.host)
                 : (server.bind_to_port(options.host, options.port) ? options.port : -1);
  if (port < 0) {
    std::cerr << "zarvo-ladder serve: cannot listen on " << options.host << ":" << options.port
              << std::endl;
    return 1;
  }
  std::thread signal_waiter = stop_on_signal(server);
  upkeep.start();
  std::cout << "listening on http://" << options.host << ":" << port << std::endl;
  bool served = server.listen_after_bind();
  // The waiter still waits when the server ended by itself; wake it.
  if (signal_waiter.joinable()) {
    ::kill(::getpid(), SIGTERM);
    signal_waiter.join();
  }
  return served ? 0 : 1;
}

}  // namespace ladder::server
