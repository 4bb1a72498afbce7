// Signing in and out: "/signin" takes an entrant's token and starts a session, whose cookie the
// browser keeps; "/signout" ends the session on the server, so its cookie is refused afterwards.
#include <ctime>

#include "ladder/server/http_answers.h"
#include "ladder/site/site_errors.h"
#include "ladder/site/site_forms.h"
#include "ladder/site/site_html.h"
#include "ladder/site/site_pages.h"
#include "ladder/site/site_requests.h"
#include "ladder/store/accounts.h"

namespace ladder::site {

namespace {

void signin_form(httplib::Response& res, int status, std::string_view message) {
  std::string html = page_start({"Sign in", "", 0});
  if (!message.empty()) html += "<p class=\"error\">" + escape(message) + "</p>";
  html +=
      "<form method=\"post\" action=\"/signin\"><p><label>Your entrant's token<br>"
      "<input type=\"password\" name=\"token\" size=\"40\" autocomplete=\"current-password\">"
      "</label></p><p><button>Sign in</button></p></form><p class=\"note\">The token is the "
      "one the ladder's organiser gave you with your entrant.</p>";
  send_page(res, status, html + page_end());
}

void signin(server::LadderContext& context, const httplib::Request& req, httplib::Response& res,
            const httplib::ContentReader& reader) {
  require_same_origin(req);
  auto fields = read_form(req, reader);
  auto caller = store::authenticate(context.db, form_field(fields, "token"));
  if (!caller || caller->role != store::Role::kEntrant) {
    signin_form(res, 401, "That token opens no entrant.");
    return;
  }
  auto session = start_session(context.db, caller->id, caller->name, std::time(nullptr));
  set_session_cookie(res, req, session.id);
  redirect(res, "/entrants/" + url_part(caller->name));
}

void signout_form(server::LadderContext& context, const httplib::Request& req,
                  httplib::Response& res) {
  auto session = require_session(context.db, req);
  send_page(res, 200,
            page_start({"Sign out", session.name, 0}) +
                "<form method=\"post\" action=\"/signout\">" + csrf_field(session) +
                "<button>Sign out</button></form>" + page_end());
}

void signout(server::LadderContext& context, const httplib::Request& req, httplib::Response& res,
             const httplib::ContentReader& reader) {
  require_same_origin(req);
  auto fields = read_form(req, reader);
  auto session = require_session(context.db, req);
  require_csrf(session, form_field(fields, "csrf"));
  end_session(context.db, session.id);
  clear_session_cookie(res, req);
  redirect(res, "/");
}

}  // namespace

void add_signin_pages(httplib::Server& server, server::LadderContext& context) {
  server.Get("/signin", page_guarded([](const auto&, auto& res) { signin_form(res, 200, ""); }));
  server.Post("/signin", post_guarded([&](const auto& req, auto& res, const auto& reader) {
                signin(context, req, res, reader);
              }));
  server.Get("/signout",
             page_guarded([&](const auto& req, auto& res) { signout_form(context, req, res); }));
  server.Post("/signout", post_guarded([&](const auto& req, auto& res, const auto& reader) {
                signout(context, req, res, reader);
              }));
}

}  // namespace ladder::site
