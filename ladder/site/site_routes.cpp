#include "ladder/site/site_routes.h"

#include "ladder/site/site_pages.h"

namespace ladder::site {

void add_site_routes(httplib::Server& server, server::LadderContext& context) {
  add_leaderboard_page(server, context);
  add_entrant_page(server, context);
  add_game_page(server, context);
  add_signin_pages(server, context);
  add_submit_page(server, context);
  add_status_page(server, context);
  add_challenge_page(server, context);
}

}  // namespace ladder::site
