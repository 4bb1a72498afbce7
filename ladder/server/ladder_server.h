// `zarvo-ladder serve`: opens (and brings up to date) the database and the data directory,
// answers the HTTP API on cpp-httplib with a fixed pool of threads and bounded connections,
// and runs the upkeep thread beside it until SIGTERM or SIGINT.
#pragma once

#include "ladder/server/server_options.h"

namespace ladder::server {

// Prints "listening on http://HOST:PORT" once it listens. Returns the exit status; throws
// store::DatabaseError for a database that cannot be opened or written.
int run_server(const ServerOptions& options);

}  // namespace ladder::server
