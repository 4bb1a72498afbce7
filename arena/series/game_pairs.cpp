#include "arena/series/game_pairs.h"

#include <cmath>

#include "arena/game/game_files.h"
#include "arena/series/game_record.h"
#include "arena/series/match_jobs.h"

namespace arena::series {
namespace fs = std::filesystem;

GameFiles game_files(const fs::path& dir, const TournamentSettings& settings,
                     const ScheduledGame& game) {
  const auto& players = settings.players;
  return GameFiles(dir, players[game.first].name, players[game.second].name,
                   std::to_string(game.number));
}

fs::path game_log(const fs::path& dir, const TournamentSettings& settings,
                  const ScheduledGame& game) {
  return game_files(dir, settings, game).log();
}

PairRecords read_pair(const fs::path& dir, const TournamentSettings& settings,
                      const std::array<ScheduledGame, 2>& games) {
  return {read_game_record(dir, game_log(dir, settings, games[0])),
          read_game_record(dir, game_log(dir, settings, games[1]))};
}

bool discard_half_pair(const PairRecords& pair, const fs::path& dir) {
  if (!half(pair)) return false;
  discard_game_files(dir / (pair[0] ? pair[0] : pair[1])->log);
  return true;
}

std::set<int> PlayedPairs::numbers() const {
  std::set<int> numbers;
  for (const auto& [pair, records] : whole) numbers.insert(pair);
  return numbers;
}

PlayedPairs read_played_pairs(const fs::path& dir, const TournamentSettings& settings,
                              const std::vector<std::array<ScheduledGame, 2>>& pairs) {
  PlayedPairs played;
  for (const auto& games : pairs) {
    PairRecords pair = read_pair(dir, settings, games);
    if (whole(pair)) {
      played.whole.emplace(games[0].pair, std::move(pair));
    } else {
      played.discarded += discard_half_pair(pair, dir);
    }
  }
  return played;
}

int pair_half_points(const GameRecord& first, const GameRecord& second, std::string_view name) {
  double points = 0;
  for (const GameRecord* game : {&first, &second}) {
    std::array<double, 2> shares = game_points(*game);
    for (int side = 0; side < 2; ++side) {
      if (game->names[side] == name) points += shares[side];
    }
  }
  return static_cast<int>(std::lround(2 * points));
}

}  // namespace arena::series
