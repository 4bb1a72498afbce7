// The answers of the public and the entrants' GET endpoints, read from the stored figures in the
// shapes the HTTP API gives them: the leaderboard, an entrant's versions, the games list and one
// game. Nothing here computes a rating; the ratings thread has stored them.
#pragma once

#include <array>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "ladder/store/database.h"

namespace ladder::store {

nlohmann::json leaderboard_json(Transaction& tx);

// Nothing for an unknown entrant.
std::optional<nlohmann::json> entrant_json(Transaction& tx, std::string_view name);

struct GamesQuery {
  std::int64_t entrant = 0;  // 0: any
  std::int64_t version = 0;  // a version id, 0: any
  std::int64_t before = 0;   // a game id, 0: the newest
  int limit = 50;
};
nlohmann::json games_json(Transaction& tx, const GamesQuery& query);

struct GameView {
  nlohmann::json json;
  std::string files;                       // its directory under games/
  std::array<std::int64_t, 2> entrants{};  // by seat
};
std::optional<GameView> game_view(Transaction& tx, std::int64_t id);

// The version id of the entrant's version `number`.
std::optional<std::int64_t> version_id(Transaction& tx, std::int64_t entrant, int number);

// The admin's overview: the queue by kind and state, the workers, the failed jobs.
nlohmann::json status_json(Transaction& tx);

}  // namespace ladder::store
