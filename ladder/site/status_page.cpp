// The admin's status page, "/status", served only to requests from this machine (127.0.0.1 or
// ::1): the workers with their last heartbeat and games, the jobs by kind and state, the failed
// jobs with their reasons, the games of the last hour, and the size of the database.
#include <ctime>

#include "ladder/server/http_answers.h"
#include "ladder/site/site_errors.h"
#include "ladder/site/site_html.h"
#include "ladder/site/site_pages.h"
#include "ladder/site/site_requests.h"
#include "ladder/store/public_views.h"

namespace ladder::site {

namespace {

using nlohmann::json;
using server::HttpError;

bool from_this_machine(const httplib::Request& req) {
  return !req.has_header("X-Forwarded-For") &&
         (req.remote_addr == "127.0.0.1" || req.remote_addr == "::1");
}

std::string database_size(server::LadderContext& context, store::Transaction& tx) {
  if (tx.backend() == store::Backend::kPostgresql) {
    long long bytes = 0;
    tx.sql() << "SELECT pg_database_size(current_database())", soci::into(bytes);
    return std::to_string(bytes) + " bytes (PostgreSQL)";
  }
  std::error_code error;
  auto bytes = std::filesystem::file_size(context.dir.root() / "ladder.db", error);
  return error ? "unknown (not in the data directory)" : std::to_string(bytes) + " bytes";
}

std::string workers_table(const json& workers, std::int64_t now) {
  std::string html =
      "<h2>Workers</h2><div class=\"scroll\"><table><thead><tr><th>Worker</th>"
      "<th>Last heartbeat</th><th>Seconds ago</th><th>Games</th><th>Blocked</th>"
      "</tr></thead><tbody>";
  for (const json& worker : workers) {
    auto beat = worker["last_heartbeat"].get<std::int64_t>();
    html += "<tr><td>" + escape(worker["name"].get<std::string>()) + "</td><td>" + utc_time(beat) +
            "</td><td>" + (beat > 0 ? std::to_string(now - beat) : "-") + "</td><td>" +
            std::to_string(worker["games"].get<std::int64_t>()) + "</td><td>" +
            (worker["blocked"].get<bool>() ? "yes" : "no") + "</td></tr>";
  }
  return html + "</tbody></table></div>";
}

std::string jobs_tables(const json& status) {
  std::string html =
      "<h2>Jobs</h2><div class=\"scroll\"><table><thead><tr><th>Kind</th>"
      "<th>State</th><th>Jobs</th></tr></thead><tbody>";
  for (const json& row : status["queue"]) {
    html += "<tr><td>" + escape(row["kind"].get<std::string>()) + "</td><td>" +
            escape(row["state"].get<std::string>()) + "</td><td>" +
            std::to_string(row["jobs"].get<std::int64_t>()) + "</td></tr>";
  }
  html +=
      "</tbody></table></div><h2>Failed jobs</h2><div class=\"scroll\"><table><thead><tr>"
      "<th>Job</th><th>Kind</th><th>Reason</th></tr></thead><tbody>";
  for (const json& row : status["failed"]) {
    html += "<tr><td>" + std::to_string(row["job"].get<std::int64_t>()) + "</td><td>" +
            escape(row["kind"].get<std::string>()) + "</td><td>" +
            (row["reason"].is_string() ? escape(row["reason"].get<std::string>()) : "") +
            "</td></tr>";
  }
  return html + "</tbody></table></div>";
}

void status_page(server::LadderContext& context, const httplib::Request& req,
                 httplib::Response& res) {
  if (!from_this_machine(req)) throw HttpError(403, "the status page is for the admin only");
  std::int64_t now = std::time(nullptr);
  json status;
  long long last_hour = 0, since = now - 3600;
  std::string size;
  {
    store::Transaction tx(context.db, store::Access::kRead);
    status = store::status_json(tx);
    tx.sql() << "SELECT COUNT(*) FROM games WHERE finished >= :t", soci::use(since),
        soci::into(last_hour);
    size = database_size(context, tx);
  }
  std::string html = page_start({"Status", "", 10});
  html += "<p>Games in the last hour: " + std::to_string(last_hour) +
          "<br>Database: " + escape(size) + "</p>" + workers_table(status["workers"], now) +
          jobs_tables(status);
  send_page(res, 200, html + page_end());
}

}  // namespace

void add_status_page(httplib::Server& server, server::LadderContext& context) {
  server.Get("/status",
             page_guarded([&](const auto& req, auto& res) { status_page(context, req, res); }));
}

}  // namespace ladder::site
