// What the web site reads from a request and sets on its answer: the session its cookie names,
// the session cookie itself (HttpOnly, SameSite=Strict, Secure over TLS), and the guard every
// form that changes something passes: its Origin (or Referer) must be this site's own, and its
// CSRF token the one tied to its session. A refused request is a 403.
#pragma once

#include <httplib.h>

#include <optional>
#include <string>
#include <string_view>

#include "ladder/site/site_sessions.h"
#include "ladder/store/database.h"

namespace ladder::site {

inline constexpr std::string_view kSessionCookie = "zarvo_session";

// The value of the request's cookie `name`, or empty.
std::string cookie_value(const httplib::Request& req, std::string_view name);

std::optional<Session> request_session(store::Database& db, const httplib::Request& req);
// The session, or HttpError 303 to the sign-in page.
Session require_session(store::Database& db, const httplib::Request& req);

// True when the request came over TLS, as far as this server or its proxy tells.
bool came_over_tls(const httplib::Request& req);
void set_session_cookie(httplib::Response& res, const httplib::Request& req, std::string_view id);
void clear_session_cookie(httplib::Response& res, const httplib::Request& req);

// Throws HttpError 403 unless the request's Origin, or failing that its Referer, is this site.
void require_same_origin(const httplib::Request& req);
// Throws HttpError 403 unless `token` is the session's CSRF token.
void require_csrf(const Session& session, std::string_view token);
// The hidden field that carries it.
std::string csrf_field(const Session& session);

void redirect(httplib::Response& res, const std::string& location);
void send_page(httplib::Response& res, int status, const std::string& html);

}  // namespace ladder::site
