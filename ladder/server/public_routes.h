// The endpoints anyone may read: the leaderboard, an entrant's versions, the games and their
// files (an error file only for the entrant who played that seat).
#pragma once

#include <httplib.h>

#include "ladder/server/ladder_context.h"

namespace ladder::server {

void add_public_routes(httplib::Server& server, LadderContext& context);

}  // namespace ladder::server
