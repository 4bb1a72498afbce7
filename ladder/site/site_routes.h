// The ladder's web site, served by `zarvo-ladder serve` beside its HTTP API: every page is
// registered here.
#pragma once

#include <httplib.h>

#include "ladder/server/ladder_context.h"

namespace ladder::site {

void add_site_routes(httplib::Server& server, server::LadderContext& context);

}  // namespace ladder::site
