#include "ladder/site/site_requests.h"

#include <ctime>

#include "ladder/server/http_answers.h"
#include "ladder/store/secrets.h"

namespace ladder::site {

using server::HttpError;

std::string cookie_value(const httplib::Request& req, std::string_view name) {
  const std::string text = req.get_header_value("Cookie");
  if (text.size() > 8192) return "";
  std::string_view header = text;
  while (!header.empty()) {
    auto end = header.find(';');
    std::string_view pair = header.substr(0, end);
    header = end == std::string_view::npos ? std::string_view() : header.substr(end + 1);
    while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
    if (pair.size() > name.size() && pair.substr(0, name.size()) == name &&
        pair[name.size()] == '=') {
      return std::string(pair.substr(name.size() + 1));
    }
  }
  return "";
}

std::optional<Session> request_session(store::Database& db, const httplib::Request& req) {
  std::string id = cookie_value(req, kSessionCookie);
  if (id.empty()) return std::nullopt;
  auto session = find_session(db, id, std::time(nullptr));
  if (session) session->id = id;
  return session;
}

Session require_session(store::Database& db, const httplib::Request& req) {
  auto session = request_session(db, req);
  if (!session) throw HttpError(303, "/signin");
  return *session;
}

bool came_over_tls(const httplib::Request& req) {
  return req.get_header_value("X-Forwarded-Proto") == "https";
}

namespace {

std::string cookie_attributes(const httplib::Request& req) {
  return std::string("; Path=/; HttpOnly; SameSite=Strict") +
         (came_over_tls(req) ? "; Secure" : "");
}

// "http://HOST" or "https://HOST" as the browser reached this site.
std::string own_origin(const httplib::Request& req) {
  return std::string(came_over_tls(req) ? "https://" : "http://") + req.get_header_value("Host");
}

}  // namespace

void set_session_cookie(httplib::Response& res, const httplib::Request& req, std::string_view id) {
  res.set_header("Set-Cookie", std::string(kSessionCookie) + "=" + std::string(id) + "; Max-Age=" +
                                   std::to_string(kSessionSeconds) + cookie_attributes(req));
}

void clear_session_cookie(httplib::Response& res, const httplib::Request& req) {
  res.set_header("Set-Cookie",
                 std::string(kSessionCookie) + "=; Max-Age=0" + cookie_attributes(req));
}

void require_same_origin(const httplib::Request& req) {
  if (!req.has_header("Host")) throw HttpError(403, "the request names no host");
  std::string own = own_origin(req);
  if (req.has_header("Origin")) {
    if (req.get_header_value("Origin") != own) throw HttpError(403, "a form of another site");
    return;
  }
  std::string referer = req.get_header_value("Referer");
  if (referer.compare(0, own.size() + 1, own + "/") != 0) {
    throw HttpError(403, "a form of another site, or of none");
  }
}

void require_csrf(const Session& session, std::string_view token) {
  if (!store::constant_time_equal(token, session.csrf)) {
    throw HttpError(403, "the form is stale: load the page again");
  }
}

std::string csrf_field(const Session& session) {
  return "<input type=\"hidden\" name=\"csrf\" value=\"" + session.csrf + "\">";
}

void redirect(httplib::Response& res, const std::string& location) {
  res.status = 303;
  res.set_header("Location", location);
}

void send_page(httplib::Response& res, int status, const std::string& html) {
  res.status = status;
  res.set_header("Cache-Control", "no-store");
  res.set_header("X-Content-Type-Options", "nosniff");
  res.set_header("Content-Security-Policy", "default-src 'self'; frame-ancestors 'none'");
  res.set_content(html, "text/html; charset=utf-8");
}

}  // namespace ladder::site
