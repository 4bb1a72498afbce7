// A game's page, "/games/ID": its outcome, players and points, and links to its replay page and
// log; a player's standard error only for that player's own entrant. Also serves the viewer's
// script and style where the stored replay pages look for them, beside the games' files.
#include "arena/game/viewer_files.h"
#include "arena/system/bounded_read.h"
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

constexpr std::size_t kViewerFileCap = 4 << 20;

store::GameView find_game(server::LadderContext& context, const std::string& id) {
  store::Transaction tx(context.db, store::Access::kRead);
  auto view = store::game_view(tx, server::parse_id(id, "the game's id"));
  if (!view) throw HttpError(404, "no such game");
  return *view;
}

std::string player_row(const json& player, int seat, std::int64_t points, int winner) {
  std::string name = player["entrant"].get<std::string>();
  return "<tr><td>Player " + std::to_string(seat) + "</td><td><a href=\"/entrants/" +
         url_part(name) + "\">" + escape(name) + "</a> version " +
         std::to_string(player["version"].get<int>()) + "</td><td>" + std::to_string(points) +
         "</td><td>" +
         (winner == 0      ? "draw"
          : winner == seat ? "won"
                           : "lost") +
         "</td></tr>";
}

void game_page(server::LadderContext& context, const httplib::Request& req,
               httplib::Response& res) {
  std::string id = req.matches[1].str();
  auto game = find_game(context, id);
  auto session = request_session(context.db, req);
  const json& view = game.json;
  int winner = view["winner"].get<int>();
  std::string html = page_start({"Game " + id, session ? session->name : "", 0});
  html += "<p>Outcome: " + escape(view["outcome"].get<std::string>()) + "</p>";
  html += std::string("<p>") + (view["ranked"].get<bool>() ? "Ranked" : "Unranked") +
          (view["final"].get<bool>() ? ", final evaluation" : "") + ", finished " +
          utc_time(view["finished"].get<std::int64_t>()) + "</p>";
  html +=
      "<div class=\"scroll\"><table><thead><tr><th>Seat</th><th>Entrant</th><th>Points</th>"
      "<th>Result</th></tr></thead><tbody>";
  for (int seat = 1; seat <= 2; ++seat) {
    html += player_row(view["players"][seat - 1], seat,
                       view["points"][seat - 1].get<std::int64_t>(), winner);
  }
  html += "</tbody></table></div><p><a href=\"/files/games/" + id +
          "/replay.html\">Replay</a> &middot; <a href=\"/files/games/" + id + "/log\">Log</a>";
  for (int seat = 1; seat <= 2; ++seat) {
    if (session && game.entrants[seat - 1] == session->entrant) {
      html += " &middot; <a href=\"/games/" + id + "/stderr/" + std::to_string(seat) +
              "\">Standard error of player " + std::to_string(seat) + "</a>";
    }
  }
  send_page(res, 200, html + "</p>" + page_end());
}

void stderr_file(server::LadderContext& context, const httplib::Request& req,
                 httplib::Response& res) {
  auto game = find_game(context, req.matches[1].str());
  std::string seat = req.matches[2].str();
  auto session = require_session(context.db, req);
  if (game.entrants[std::stoi(seat) - 1] != session.entrant) {
    throw HttpError(403, "only the entrant who played this seat may read its errors");
  }
  auto file = context.dir.game(game.files) / ("stderr" + seat);
  if (!std::filesystem::is_regular_file(file)) throw HttpError(404, "the file is gone");
  res.set_header("X-Content-Type-Options", "nosniff");
  res.set_content(arena::read_head(file, context.options.max_report_bytes),
                  "text/plain; charset=utf-8");
}

// The viewer files of this build: resources/ beside the program.
void viewer_file(const httplib::Request& req, httplib::Response& res) {
  std::error_code error;
  auto program = std::filesystem::read_symlink("/proc/self/exe", error);
  auto source =
      error ? std::filesystem::path() : arena::default_viewer_source(program.parent_path());
  std::string name = req.matches[1].str();
  if (source.empty() || !std::filesystem::is_regular_file(source / name)) {
    throw HttpError(404, "the viewer files are not installed");
  }
  res.set_header("Cache-Control", "max-age=3600");
  res.set_content(
      arena::read_head(source / name, kViewerFileCap),
      name.ends_with(".js") ? "text/javascript; charset=utf-8" : "text/css; charset=utf-8");
}

}  // namespace

void add_game_page(httplib::Server& server, server::LadderContext& context) {
  server.Get(R"(/games/(\d+))",
             page_guarded([&](const auto& req, auto& res) { game_page(context, req, res); }));
  server.Get(R"(/games/(\d+)/stderr/([12]))",
             page_guarded([&](const auto& req, auto& res) { stderr_file(context, req, res); }));
  server.Get(R"(/files/games/(?:bin/)?resources/(zarvo\.js|zarvo\.css))",
             page_guarded(viewer_file));
}

}  // namespace ladder::site
