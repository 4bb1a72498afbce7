// The leaderboard, "/": the final standings first once the final evaluation is in, then the
// active versions by rating; it refreshes itself every few seconds.
#include <map>

#include "ladder/site/site_errors.h"
#include "ladder/site/site_html.h"
#include "ladder/site/site_pages.h"
#include "ladder/site/site_requests.h"
#include "ladder/store/public_views.h"
#include "ladder/store/row_values.h"

namespace ladder::site {

namespace {

using nlohmann::json;

// When each active version last played, by "NAME/NUMBER".
std::map<std::string, std::int64_t> last_games(store::Transaction& tx) {
  std::map<std::string, std::int64_t> last;
  soci::rowset<soci::row> rows =
      (tx.sql().prepare << "SELECT e.name, v.number, v.last_played FROM versions v"
                           " JOIN entrants e ON e.id = v.entrant WHERE v.state = 'active'");
  for (const soci::row& row : rows) {
    last[store::row_text(row, 0) + "/" + std::to_string(store::row_integer(row, 1))] =
        store::row_integer(row, 2);
  }
  return last;
}

std::string rating_cell(const json& entry) {
  if (entry["rating"].is_null()) return "<td>-</td>";
  std::string text = fixed(entry["rating"].get<double>(), 0);
  if (!entry["low"].is_null() && !entry["high"].is_null()) {
    double half = (entry["high"].get<double>() - entry["low"].get<double>()) / 2;
    text += " &plusmn; " + fixed(half, 0);
  }
  return "<td>" + text + "</td>";
}

std::string standings_table(const json& entries, const std::map<std::string, std::int64_t>* last) {
  if (entries.empty()) return "<p class=\"note\">No entrant has an active version yet.</p>";
  std::string html =
      "<div class=\"scroll\"><table><thead><tr><th>#</th><th>Entrant</th><th>Version</th>"
      "<th>Rating</th><th>Games</th><th>W/D/L</th>";
  if (last) html += "<th>Last game</th>";
  html += "</tr></thead><tbody>";
  for (const json& entry : entries) {
    std::string name = entry["entrant"].get<std::string>();
    std::string version = std::to_string(entry["version"].get<std::int64_t>());
    html +=
        "<tr><td>" + std::to_string(entry["rank"].get<int>()) + "</td><td><a href=\"/entrants/" +
        url_part(name) + "\">" + escape(name) + "</a>" +
        (entry["provisional"].get<bool>() ? " <span title=\"provisional\">(prov.)</span>" : "") +
        "</td><td>" + version + "</td>" + rating_cell(entry) + "<td>" +
        std::to_string(entry["games"].get<std::int64_t>()) + "</td><td>" +
        std::to_string(entry["wins"].get<std::int64_t>()) + "/" +
        std::to_string(entry["draws"].get<std::int64_t>()) + "/" +
        std::to_string(entry["losses"].get<std::int64_t>()) + "</td>";
    if (last) {
      auto found = last->find(name + "/" + version);
      html += "<td>" + utc_time(found == last->end() ? 0 : found->second) + "</td>";
    }
    html += "</tr>";
  }
  return html + "</tbody></table></div>";
}

void leaderboard(server::LadderContext& context, const httplib::Request& req,
                 httplib::Response& res) {
  auto session = request_session(context.db, req);
  json board;
  std::map<std::string, std::int64_t> last;
  {
    store::Transaction tx(context.db, store::Access::kRead);
    board = store::leaderboard_json(tx);
    last = last_games(tx);
  }
  std::string html = page_start({"Leaderboard", session ? session->name : "", 10});
  if (!board["final"].is_null()) {
    html += "<h2>Final standings</h2>" + standings_table(board["final"], nullptr) +
            "<h2>The ladder</h2>";
  }
  html += standings_table(board["entries"], &last);
  html +=
      "<p class=\"note\">(prov.): a provisional rating, from too few games yet. "
      "The page refreshes every 10 seconds.</p>";
  send_page(res, 200, html + page_end());
}

}  // namespace

void add_leaderboard_page(httplib::Server& server, server::LadderContext& context) {
  server.Get("/",
             page_guarded([&](const auto& req, auto& res) { leaderboard(context, req, res); }));
  server.Get("/site.css", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Cache-Control", "max-age=3600");
    res.set_content(std::string(kStylesheet), "text/css; charset=utf-8");
  });
}

}  // namespace ladder::site
