#include "arena/series/game_schedule.h"

#include <memory>
#include <utility>

namespace arena::series {

namespace {

// Only the pairs within the plan count as played.
std::set<int> within(std::set<int> played, std::optional<int> pairs) {
  if (pairs) played.erase(played.upper_bound(*pairs), played.end());
  std::erase_if(played, [](int pair) { return pair < 1; });
  return played;
}

}  // namespace

GameSchedule::GameSchedule(std::vector<ScheduledGame> games, std::set<int> played)
    : pairs_(static_cast<int>(games.size() / 2)), played_(within(std::move(played), pairs_)) {
  games_of_ = [games =
                   std::make_shared<const std::vector<ScheduledGame>>(std::move(games))](int pair) {
    return std::array<ScheduledGame, 2>{(*games)[2 * pair - 2], (*games)[2 * pair - 1]};
  };
}

GameSchedule::GameSchedule(PairGames games_of, std::optional<int> pairs, std::set<int> played)
    : games_of_(std::move(games_of)), pairs_(pairs), played_(within(std::move(played), pairs)) {}

std::optional<ScheduledGame> GameSchedule::next() {
  if (second_) return std::exchange(second_, std::nullopt);
  while (played_.contains(next_pair_)) ++next_pair_;
  if (pairs_ && next_pair_ > *pairs_) return std::nullopt;
  auto games = games_of_(next_pair_++);
  second_ = games[1];
  return games[0];
}

std::optional<std::size_t> GameSchedule::total() const {
  if (!pairs_) return std::nullopt;
  return 2 * static_cast<std::size_t>(*pairs_);
}

}  // namespace arena::series
