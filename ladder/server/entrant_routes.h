// The endpoints of an entrant's token: who it is, a new version's upload (streamed to disk,
// capped, checked as an archive, stored by its SHA-256) and a version's build log.
#pragma once

#include <httplib.h>

#include "ladder/server/ladder_context.h"

namespace ladder::server {

void add_entrant_routes(httplib::Server& server, LadderContext& context);

// Whether an upload announced with `content_length` bytes may be sent at all (Expect:
// 100-continue is answered 413 before the body comes).
bool upload_fits(const LadderContext& context, const httplib::Request& req);

}  // namespace ladder::server
