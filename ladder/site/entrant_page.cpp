// An entrant's page, "/entrants/NAME": its versions with their states and rating histories, and
// its games, paged and filtered by version and opponent with a plain GET form; another
// signed-in entrant may challenge it from here. The entrant
// itself, signed in, also sees each version's build log and links to its own error files. The
// page refreshes while a version waits for or undergoes its build.
#include <ctime>

#include "arena/system/bounded_read.h"
#include "ladder/server/http_answers.h"
#include "ladder/site/entrant_games.h"
#include "ladder/site/rating_chart.h"
#include "ladder/site/site_errors.h"
#include "ladder/site/site_html.h"
#include "ladder/site/site_pages.h"
#include "ladder/site/site_requests.h"
#include "ladder/store/accounts.h"
#include "ladder/store/public_views.h"
#include "ladder/store/row_values.h"

namespace ladder::site {

namespace {

using nlohmann::json;
using server::HttpError;

constexpr std::size_t kShownBuildLog = 64 << 10;

std::string version_state(const json& version) {
  std::string state = version["state"].get<std::string>();
  std::string html = "<span class=\"state-" + escape(state) + "\">" + escape(state) + "</span>";
  if (!version["reason"].is_null()) {
    html += ": <span class=\"reason\">" + escape(version["reason"].get<std::string>()) + "</span>";
  }
  return html;
}

std::string build_log(server::LadderContext& context, std::int64_t entrant, int number) {
  std::optional<std::int64_t> id;
  {
    store::Transaction tx(context.db, store::Access::kRead);
    id = store::version_id(tx, entrant, number);
  }
  if (!id) return "";
  auto file = context.dir.build_log(*id);
  if (!std::filesystem::is_regular_file(file)) return "<p class=\"note\">Not built yet.</p>";
  return "<details><summary>Build log of version " + std::to_string(number) + "</summary><pre>" +
         escape(arena::read_head(file, kShownBuildLog)) + "</pre></details>";
}

std::string versions_section(server::LadderContext& context, const json& entrant,
                             std::int64_t own_id) {
  std::string html =
      "<h2>Versions</h2><div class=\"scroll\"><table><thead><tr><th>Version</th><th>State</th>"
      "<th>Submitted</th><th>Rating</th><th>Games</th><th>History</th></tr></thead><tbody>";
  for (const json& version : entrant["versions"]) {
    std::string rating =
        version["rating"].is_null() ? "-" : fixed(version["rating"].get<double>(), 0);
    html += "<tr><td>" + std::to_string(version["number"].get<int>()) + "</td><td>" +
            version_state(version) + "</td><td>" +
            utc_time(version["submitted"].get<std::int64_t>()) + "</td><td>" + rating +
            "</td><td>" + std::to_string(version["games"].get<std::int64_t>()) + "</td><td>" +
            rating_chart(version["history"]) + "</td></tr>";
  }
  html += "</tbody></table></div>";
  if (own_id != 0) {
    for (const json& version : entrant["versions"]) {
      html += build_log(context, own_id, version["number"].get<int>());
    }
  }
  return html;
}

std::vector<std::string> other_entrants(store::Transaction& tx, const std::string& name) {
  std::vector<std::string> names;
  soci::rowset<std::string> rows =
      (tx.sql().prepare << "SELECT name FROM entrants WHERE name <> :n ORDER BY name LIMIT 5000",
       soci::use(name));
  for (const std::string& other : rows) names.push_back(other);
  return names;
}

std::string filter_form(const std::string& name, const json& entrant,
                        const std::vector<std::string>& others, const GamesFilter& filter,
                        const std::string& opponent) {
  std::string html = "<form method=\"get\" action=\"/entrants/" + url_part(name) +
                     "\"><label>Version <select name=\"version\"><option value=\"0\">any</option>";
  for (const json& version : entrant["versions"]) {
    int number = version["number"].get<int>();
    html += "<option value=\"" + std::to_string(number) + "\"" +
            (number == filter.version ? " selected" : "") + ">" + std::to_string(number) +
            "</option>";
  }
  html +=
      "</select></label> <label>Opponent <select name=\"opponent\"><option value=\"\">any"
      "</option>";
  for (const std::string& other : others) {
    html += "<option value=\"" + escape(other) + "\"" + (other == opponent ? " selected" : "") +
            ">" + escape(other) + "</option>";
  }
  return html + "</select></label> <button>Show</button></form>";
}

std::string games_table(const GamesPage& page, bool own) {
  if (page.games.empty()) return "<p class=\"note\">No games.</p>";
  std::string html =
      "<div class=\"scroll\"><table><thead><tr><th>Game</th><th>Version</th><th>Opponent</th>"
      "<th>Points</th><th>Result</th><th>Finished</th>" +
      std::string(own ? "<th>Errors</th>" : "") + "</tr></thead><tbody>";
  for (const ListedGame& game : page.games) {
    std::string id = std::to_string(game.id);
    html += "<tr><td><a href=\"/games/" + id + "\">" + id + "</a>" +
            (game.ranked ? "" : " (unranked)") + "</td><td>" + std::to_string(game.version) +
            "</td><td><a href=\"/entrants/" + url_part(game.opponent) + "\">" +
            escape(game.opponent) + "</a> " + std::to_string(game.opponent_version) + "</td><td>" +
            std::to_string(game.points) + " - " + std::to_string(game.opponent_points) +
            "</td><td>" + game.result + "</td><td>" + utc_time(game.finished) + "</td>";
    if (own) {
      html += "<td><a href=\"/games/" + id + "/stderr/" + std::to_string(game.seat) +
              "\">stderr</a></td>";
    }
    html += "</tr>";
  }
  return html + "</tbody></table></div>";
}

int query_int(const httplib::Request& req, const char* name) {
  if (!req.has_param(name) || req.get_param_value(name).empty()) return 0;
  return static_cast<int>(
      std::min<std::int64_t>(server::parse_id(req.get_param_value(name), name), 1 << 30));
}

std::string older_link(const std::string& name, const GamesFilter& filter,
                       const std::string& opponent, std::int64_t before) {
  return "<p><a href=\"/entrants/" + url_part(name) + "?version=" + std::to_string(filter.version) +
         "&amp;opponent=" + url_part(opponent) + "&amp;before=" + std::to_string(before) +
         "\">Older games</a></p>";
}

bool waits_for_build(const json& entrant) {
  for (const json& version : entrant["versions"]) {
    auto state = version["state"].get<std::string>();
    if (state == "queued" || state == "building") return true;
  }
  return false;
}

void entrant_page(server::LadderContext& context, const httplib::Request& req,
                  httplib::Response& res) {
  std::string name = req.matches[1].str();
  auto session = request_session(context.db, req);
  GamesFilter filter;
  filter.version = query_int(req, "version");
  filter.before = query_int(req, "before");
  std::string opponent = req.has_param("opponent") ? req.get_param_value("opponent") : "";
  std::optional<json> entrant;
  std::vector<std::string> others;
  GamesPage games;
  {
    store::Transaction tx(context.db, store::Access::kRead);
    entrant = store::entrant_json(tx, name);
    if (!entrant) throw HttpError(404, "no entrant is named so");
    filter.entrant = *store::entrant_id(tx, name);
    if (!opponent.empty()) {
      auto id = store::entrant_id(tx, opponent);
      if (!id) throw HttpError(404, "no opponent is named so");
      filter.opponent = *id;
    }
    others = other_entrants(tx, name);
    games = entrant_games(tx, filter);
  }
  bool own = session && session->entrant == filter.entrant;
  std::string html = page_start(
      {"Entrant " + name, session ? session->name : "", waits_for_build(*entrant) ? 5 : 0});
  if (entrant->at("active").is_null()) {
    html += "<p>No active version.</p>";
  } else {
    html += "<p>Active version: " + std::to_string(entrant->at("active").get<int>()) + "</p>";
  }
  if (session && !own && !entrant->at("active").is_null()) html += challenge_form(*session, name);
  html += versions_section(context, *entrant, own ? filter.entrant : 0);
  html += "<h2>Games</h2>" + filter_form(name, *entrant, others, filter, opponent) +
          games_table(games, own);
  if (games.next_before != 0) html += older_link(name, filter, opponent, games.next_before);
  send_page(res, 200, html + page_end());
}

}  // namespace

void add_entrant_page(httplib::Server& server, server::LadderContext& context) {
  server.Get(R"(/entrants/([^/]+))",
             page_guarded([&](const auto& req, auto& res) { entrant_page(context, req, res); }));
}

}  // namespace ladder::site
