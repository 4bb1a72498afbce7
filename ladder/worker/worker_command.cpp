#include "ladder/worker/worker_command.h"

#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "arena/cli/command_line.h"
#include "ladder/client/api_client.h"
#include "ladder/client/token_file.h"
#include "ladder/worker/worker_loop.h"

namespace ladder::worker {

namespace fs = std::filesystem;

namespace {

const char* const kUsage = R"(usage: zarvo-ladder worker --server URL --token-file FILE [options]

Does the ladder's work on this machine: each slot leases one job at a time from the server,
keeps its lease alive with a heartbeat and reports it. A build job downloads a version's
sources, builds them as `zarvo-arena build` does and checks the entry as `zarvo-arena check`
does; a pair job plays two games between two versions on one tile script, the seats swapped, as
`zarvo-arena tournament` plays a pair, sandboxed, with `zarvo-arena match`'s default limits.
zarvo-arena, zarvo-checker and zarvo-random must lie beside zarvo-ladder (as they are installed).
SIGTERM or SIGINT stops it: no new job, the running games and builds ended, each held job given
back to the server, exit status 0.

Options:
  --server URL        the ladder, http://HOST:PORT or https://HOST
  --token-file FILE   the file holding this worker's token (keep it chmod 600)
  --concurrency J     jobs at once, as the arena plays games: one per core without it
  --cache DIR         the built entries, one per source archive (~/.cache/zarvo-ladder, or
                      /var/cache/zarvo-ladder for root: the players' users must reach it)
  --work DIR          where games write their files until they are reported (DIR/work of
                      the cache)

Exit status 0 once stopped, 2 for a bad command line, token or server.
)";

int fail_usage(const std::string& message) {
  std::cerr << "zarvo-ladder worker: " << message << "\n(zarvo-ladder worker --help shows how)"
            << std::endl;
  return 2;
}

fs::path default_cache() {
  if (::geteuid() == 0) return "/var/cache/zarvo-ladder";
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/') {
    return fs::path(xdg) / "zarvo-ladder";
  }
  const char* home = std::getenv("HOME");
  return fs::path(home && *home ? home : "/tmp") / ".cache" / "zarvo-ladder";
}

}  // namespace

int run_worker_command(std::span<const std::string> args) {
  if (arena::cli::asks_for_help(args)) {
    std::cout << kUsage;
    return 0;
  }
  WorkerSettings settings;
  fs::path token_file;
  try {
    arena::cli::CommandLine line;
    line.option("--server", [&](const std::string& v) { settings.server = v; });
    line.option("--token-file", [&](const std::string& v) { token_file = v; });
    arena::cli::add_concurrency_option(line, settings.concurrency);
    line.option("--cache", [&](const std::string& v) { settings.cache = fs::absolute(v); });
    line.option("--work", [&](const std::string& v) { settings.work = fs::absolute(v); });
    line.parse(args);
    if (settings.server.empty()) throw std::invalid_argument("give the ladder's --server URL");
    if (token_file.empty()) throw std::invalid_argument("give the worker's --token-file");
    client::ApiClient checked(settings.server, "");  // refuses a URL of another form
    settings.token = client::read_token_file(token_file, std::cerr);
  } catch (const std::exception& error) {
    return fail_usage(error.what());
  }
  if (settings.cache.empty()) settings.cache = default_cache();
  if (settings.work.empty()) settings.work = settings.cache / "work";
  try {
    return run_worker(settings);
  } catch (const std::exception& error) {
    std::cerr << "zarvo-ladder worker: " << error.what() << std::endl;
    return 2;
  }
}

}  // namespace ladder::worker
