// The pages of the ladder's web site, each a route (or a few) in its own file: the leaderboard,
// an entrant's page, a game's page, signing in and out, the upload form, challenges, and the
// admin's status. Each page is server-rendered HTML that works without JavaScript.
#pragma once

#include <httplib.h>

#include <string>
#include <string_view>

#include "ladder/server/ladder_context.h"
#include "ladder/site/site_sessions.h"

namespace ladder::site {

void add_leaderboard_page(httplib::Server& server, server::LadderContext& context);
void add_entrant_page(httplib::Server& server, server::LadderContext& context);
void add_game_page(httplib::Server& server, server::LadderContext& context);
void add_signin_pages(httplib::Server& server, server::LadderContext& context);
void add_submit_page(httplib::Server& server, server::LadderContext& context);
void add_status_page(httplib::Server& server, server::LadderContext& context);
void add_challenge_page(httplib::Server& server, server::LadderContext& context);

// The form by which the signed-in entrant challenges `opponent`.
std::string challenge_form(const Session& session, std::string_view opponent);

}  // namespace ladder::site
