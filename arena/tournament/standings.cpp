#include "arena/tournament/standings.h"

#include <algorithm>
#include <numeric>

namespace arena::tournament {
using namespace arena::series;

std::size_t StandingsTally::player(const std::string& name) {
  auto found = index_.find(name);
  if (found != index_.end()) return found->second;
  std::size_t index = results_.add_player();
  index_.emplace(name, index);
  players_.push_back(Standing{.name = name});
  for (auto& row : cross_) row.emplace_back();
  cross_.emplace_back(players_.size());
  return index;
}

void StandingsTally::add(const GameRecord& game) {
  ++games_;
  std::array<std::size_t, 2> who = {player(game.names[0]), player(game.names[1])};
  std::array<double, 2> points = game_points(game);
  for (int side = 0; side < 2; ++side) {
    Standing& standing = players_[who[side]];
    ++standing.games;
    standing.value_sum += game.values[side];
    if (auto reason = disqualification_index(game.texts[side])) {
      ++standing.disqualifications[*reason];
    }
    if (points[side] == 1) {
      ++standing.wins;
    } else if (points[side] == 0.5) {
      ++standing.draws;
    } else {
      ++standing.losses;
    }
    CrossCell& cell = cross_[who[side]][who[1 - side]];
    ++cell.games;
    cell.points += points[side];
  }
  // A name playing itself would be no pairing; the tournament never schedules one.
  if (who[0] != who[1] && points[0] + points[1] == 1) results_.add_game(who[0], who[1], points[0]);
}

FieldStandings StandingsTally::standings() {
  stats::FieldRatings fit = stats::fit_ratings(results_, last_fit_);
  last_fit_ = fit.ratings;
  std::vector<std::size_t> order(players_.size());
  std::iota(order.begin(), order.end(), 0);
  // Ratings are compared at a millionth of a point, so that players the fit rates alike but
  // for rounding are ordered by the rules after it.
  auto key = [&](std::size_t i) { return std::llround(fit.ratings[i] * 1e6); };
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const Standing& x = players_[a];
    const Standing& y = players_[b];
    if (key(a) != key(b)) return key(a) > key(b);
    if (x.score() != y.score()) return x.score() > y.score();
    if (x.mean_value() != y.mean_value()) return x.mean_value() > y.mean_value();
    return x.name < y.name;
  });
  FieldStandings field;
  for (std::size_t rank = 0; rank < order.size(); ++rank) {
    std::size_t i = order[rank];
    Standing standing = players_[i];
    standing.elo = fit.ratings[i];
    standing.elo_margin = fit.margin(i);
    standing.los_next = rank + 1 < order.size() ? fit.los(i, order[rank + 1]) : NAN;
    field.rows.push_back(std::move(standing));
    std::vector<CrossCell> row;
    for (std::size_t j : order) row.push_back(cross_[i][j]);
    field.cross.push_back(std::move(row));
  }
  return field;
}

FieldStandings compute_field(const std::vector<GameRecord>& games) {
  StandingsTally tally;
  for (const auto& game : games) tally.add(game);
  return tally.standings();
}

std::vector<Standing> compute_standings(const std::vector<GameRecord>& games) {
  return compute_field(games).rows;
}

}  // namespace arena::tournament
