// The endpoints of a worker's token: a lease on the next job, the sources it names, heartbeats,
// a job handed back, and the report of a finished job. A worker's token reaches only its own
// leases.
#pragma once

#include <httplib.h>

#include "ladder/server/ladder_context.h"

namespace ladder::server {

void add_worker_routes(httplib::Server& server, LadderContext& context);

}  // namespace ladder::server
