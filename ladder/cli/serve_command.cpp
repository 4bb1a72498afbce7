#include "ladder/cli/serve_command.h"

#include <iostream>

#include "arena/match/option_values.h"
#include "ladder/cli/ladder_usage.h"
#include "ladder/server/ladder_server.h"
#include "ladder/store/database.h"

namespace ladder::cli {

namespace {

const char* const kServeUsage = R"(usage: zarvo-ladder serve --data DIR [options]

Runs the ladder's HTTP server (the API of ladder/API.md) until SIGTERM or SIGINT. Its files live
under DIR; its database is sqlite:DIR/ladder.db unless --db names another.

Options:
  --data DIR               the ladder's data directory (made when missing)
  --db URL                 sqlite:PATH, postgresql://USER@HOST/DB or a libpq "key=value" string
  --listen HOST:PORT       where to listen (127.0.0.1:8080; port 0 picks a free one)
  --lease-seconds S        how long a job's lease lasts without a heartbeat (90)
  --heartbeat-seconds S    how often workers are told to renew their leases (30)
  --threads N              threads answering requests (8)
  --max-packed-mb M        an entry's archive at most (5)
  --max-unpacked-mb M      an entry's files at most, unpacked (50)
  --max-files N            files in an entry at most (2000)
  --versions-per-day N     versions an entrant may submit in 24 hours (10)
)";

void set_listen(server::ServerOptions& options, const std::string& value) {
  auto colon = value.rfind(':');
  if (colon == std::string::npos || colon == 0) {
    throw std::invalid_argument("give HOST:PORT, as 127.0.0.1:8080");
  }
  options.host = value.substr(0, colon);
  options.port = static_cast<int>(arena::parse_whole(value.substr(colon + 1), 0, 65535));
}

}  // namespace

int run_serve_command(std::span<const std::string> args) {
  if (arena::cli::asks_for_help(args)) {
    std::cout << kServeUsage;
    return 0;
  }
  StoreOptions store;
  server::ServerOptions options;
  try {
    arena::cli::CommandLine line;
    add_store_options(line, store);
    line.option("--listen", [&](const std::string& v) { set_listen(options, v); });
    auto whole = [](int& into, long long low, long long high) {
      return [&into, low, high](const std::string& v) {
        into = static_cast<int>(arena::parse_whole(v, low, high));
      };
    };
    line.option("--lease-seconds", whole(options.lease_seconds, 1, 86400));
    line.option("--heartbeat-seconds", whole(options.heartbeat_seconds, 1, 86400));
    line.option("--threads", whole(options.threads, 1, 1024));
    line.option("--versions-per-day", whole(options.versions_per_day, 1, 100000));
    line.option("--max-packed-mb", [&](const std::string& v) {
      options.max_packed_bytes = arena::parse_whole(v, 1, 1024) << 20;
    });
    line.option("--max-unpacked-mb", [&](const std::string& v) {
      options.max_unpacked_bytes = arena::parse_whole(v, 1, 1 << 20) << 20;
    });
    line.option("--max-files", [&](const std::string& v) {
      options.max_files = arena::parse_whole(v, 1, 1'000'000);
    });
    line.parse(args);
    check_store_options(store);
    if (options.heartbeat_seconds >= options.lease_seconds) {
      throw arena::cli::UsageError("--heartbeat-seconds must be below --lease-seconds");
    }
  } catch (const arena::cli::UsageError& error) {
    return usage_error("serve", error.what());
  }
  options.data_dir = store.data_dir;
  options.database_url = store.database_url;
  try {
    return server::run_server(options);
  } catch (const std::exception& e) {
    std::cerr << "zarvo-ladder serve: " << e.what() << std::endl;
    return 1;
  }
}

}  // namespace ladder::cli
