#include "ladder/server/report_reader.h"

#include <limits>

#include "ladder/server/http_answers.h"

namespace ladder::server {

namespace {

using nlohmann::json;

constexpr std::size_t kShortText = 4096;
constexpr std::size_t kLongText = std::numeric_limits<std::size_t>::max();
constexpr std::int64_t kMaxId = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMaxPoints = 1'000'000;

const json& array_field(const json& object, std::string_view name, std::size_t size) {
  auto found = object.find(name);
  if (found == object.end() || !found->is_array() || found->size() != size) {
    throw HttpError(400,
                    "\"" + std::string(name) + "\" must be an array of " + std::to_string(size));
  }
  return *found;
}

std::optional<std::string> optional_string(const json& object, std::string_view name,
                                           std::size_t limit) {
  auto found = object.find(name);
  if (found == object.end() || found->is_null()) return std::nullopt;
  return string_field(object, name, limit);
}

store::GameReport read_game(const json& game) {
  if (!game.is_object()) throw HttpError(400, "each game must be a JSON object");
  store::GameReport read;
  const json& players = array_field(game, "players", 2);
  const json& points = array_field(game, "points", 2);
  const json& errors = array_field(game, "stderr", 2);
  for (std::size_t seat = 0; seat < 2; ++seat) {
    json one = {{"player", players[seat]}, {"points", points[seat]}, {"stderr", errors[seat]}};
    read.players[seat] = integer_field(one, "player", 1, kMaxId);
    read.points[seat] = static_cast<int>(integer_field(one, "points", 0, kMaxPoints));
    read.stderr_text[seat] = string_field(one, "stderr", kLongText);
  }
  read.outcome = string_field(game, "outcome", kShortText);
  read.winner = static_cast<int>(integer_field(game, "winner", 0, 2));
  read.log = string_field(game, "log", kLongText);
  read.replay = string_field(game, "replay", kLongText);
  read.turns = string_field(game, "turns", kLongText);
  read.usage = string_field(game, "usage", kLongText);
  read.notes = optional_string(game, "notes", kLongText);
  return read;
}

}  // namespace

ReadReport read_report(const json& body) {
  ReadReport read;
  read.lease = string_field(body, "lease", 64);
  store::JobReport& report = read.report;
  report.job = integer_field(body, "job", 1, kMaxId);
  std::string kind = string_field(body, "kind", 16);
  if (kind == "build") {
    report.kind = store::ReportKind::kBuild;
    report.built = bool_field(body, "built");
    report.passed = bool_field(body, "passed");
    report.reason = optional_string(body, "reason", kShortText).value_or("");
    report.build_log = string_field(body, "build_log", kLongText);
  } else if (kind == "pair") {
    report.kind = store::ReportKind::kPair;
    for (const json& game : array_field(body, "games", 2)) report.games.push_back(read_game(game));
  } else if (kind == "error") {
    report.kind = store::ReportKind::kError;
    report.reason = string_field(body, "reason", kShortText);
  } else {
    throw HttpError(400, "\"kind\" must be \"build\", \"pair\" or \"error\"");
  }
  return read;
}

}  // namespace ladder::server
