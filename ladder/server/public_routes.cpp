#include "ladder/server/public_routes.h"

#include "arena/match/turn_record.h"
#include "arena/system/bounded_read.h"
#include "ladder/server/http_answers.h"
#include "ladder/store/accounts.h"
#include "ladder/store/public_views.h"

namespace ladder::server {

namespace {

using nlohmann::json;

std::int64_t query_id(const httplib::Request& req, const char* name) {
  return req.has_param(name) ? parse_id(req.get_param_value(name), name) : 0;
}

store::GamesQuery games_query(LadderContext& context, const httplib::Request& req) {
  store::GamesQuery query;
  query.before = query_id(req, "before");
  if (req.has_param("limit"))
    query.limit = static_cast<int>(std::min<std::int64_t>(query_id(req, "limit"), 500));
  store::Transaction tx(context.db, store::Access::kRead);
  if (req.has_param("entrant")) {
    auto entrant = store::entrant_id(tx, req.get_param_value("entrant"));
    if (!entrant) throw HttpError(404, "no entrant is named so");
    query.entrant = *entrant;
    if (req.has_param("version")) {
      auto number = query_id(req, "version");
      auto id = store::version_id(tx, *entrant,
                                  static_cast<int>(std::min<std::int64_t>(number, 1 << 30)));
      if (!id) throw HttpError(404, "the entrant has no such version");
      query.version = *id;
      query.entrant = 0;
    }
  } else if (req.has_param("version")) {
    throw HttpError(400, "version needs entrant");
  }
  return query;
}

store::GameView find_game(LadderContext& context, std::string_view id) {
  store::Transaction tx(context.db, store::Access::kRead);
  auto view = store::game_view(tx, parse_id(id, "the game's id"));
  if (!view) throw HttpError(404, "no such game");
  return *view;
}

// The seat (1 or 2) the caller's entrant played in the game, or 0.
int callers_seat(LadderContext& context, const httplib::Request& req, const store::GameView& game) {
  auto caller = optional_caller(context.db, req);
  if (!caller || caller->role != store::Role::kEntrant) return 0;
  if (game.entrants[0] == caller->id) return 1;
  if (game.entrants[1] == caller->id) return 2;
  return 0;
}

void send_file(LadderContext& context, httplib::Response& res, const std::filesystem::path& file,
               const char* type) {
  if (!std::filesystem::is_regular_file(file)) throw HttpError(404, "the file is gone");
  res.set_content(arena::read_head(file, context.options.max_report_bytes), type);
}

}  // namespace

void add_public_routes(httplib::Server& server, LadderContext& context) {
  server.Get("/api/leaderboard", guarded([&](const auto&, auto& res) {
               store::Transaction tx(context.db, store::Access::kRead);
               send_json(res, 200, store::leaderboard_json(tx));
             }));
  server.Get(R"(/api/entrants/([^/]+))", guarded([&](const auto& req, auto& res) {
               store::Transaction tx(context.db, store::Access::kRead);
               auto entrant = store::entrant_json(tx, req.matches[1].str());
               if (!entrant) throw HttpError(404, "no entrant is named so");
               send_json(res, 200, *entrant);
             }));
  server.Get("/api/games", guarded([&](const auto& req, auto& res) {
               auto query = games_query(context, req);
               store::Transaction tx(context.db, store::Access::kRead);
               send_json(res, 200, store::games_json(tx, query));
             }));
  server.Get(R"(/api/games/(\d+))", guarded([&](const auto& req, auto& res) {
               auto game = find_game(context, req.matches[1].str());
               std::string base = "/files/games/" + req.matches[1].str();
               json body = game.json;
               body["usage"] = arena::read_head(context.dir.game(game.files) / "usage", 1 << 20);
               body["replay"] = base + "/replay.html";
               body["log"] = base + "/log";
               if (int seat = callers_seat(context, req, game)) {
                 body["stderr"] = base + "/stderr/" + std::to_string(seat);
               }
               send_json(res, 200, body);
             }));
  server.Get(R"(/files/games/(\d+)/(replay\.html|log))", guarded([&](const auto& req, auto& res) {
               auto game = find_game(context, req.matches[1].str());
               bool replay = req.matches[2].str() == "replay.html";
               send_file(context, res, context.dir.game(game.files) / req.matches[2].str(),
                         replay ? "text/html; charset=utf-8" : "text/plain; charset=utf-8");
             }));
  // The record of the turns that the replay page loads beside itself, with a player's standard
  // error only for that player's entrant.
  server.Get(
      R"(/files/games/(\d+)/replay\.turns\.js)", guarded([&](const auto& req, auto& res) {
        auto game = find_game(context, req.matches[1].str());
        const auto file = context.dir.game(game.files) / "turns.json";
        if (!std::filesystem::is_regular_file(file)) throw HttpError(404, "the file is gone");
        std::string script =
            "zarvoTurnRecord(" + arena::read_head(file, context.options.max_report_bytes) + ");\n";
        try {
          script = arena::turn_record_without_stderr(script, callers_seat(context, req, game));
        } catch (const std::invalid_argument&) {
          throw HttpError(404, "the game has no readable record of its turns");
        }
        res.set_content(script, "text/javascript; charset=utf-8");
      }));
  server.Get(R"(/files/games/(\d+)/stderr/([12]))", guarded([&](const auto& req, auto& res) {
               auto game = find_game(context, req.matches[1].str());
               std::string seat = req.matches[2].str();
               auto caller = require_caller(context.db, req, store::Role::kEntrant);
               if (game.entrants[std::stoi(seat) - 1] != caller.id) {
                 throw HttpError(403, "only the entrant who played this seat may read its errors");
               }
               send_file(context, res, context.dir.game(game.files) / ("stderr" + seat),
                         "text/plain; charset=utf-8");
             }));
}

}  // namespace ladder::server
