// The games of a run in the order they are handed out, pair by pair: the games of its plan, the
// pairs among them already played (found in the directory when the run resumes) and the next
// game to play. A tournament's plan has a fixed list of games; an SPRT test's pairs are made as
// they are needed, up to a limit or without end.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <set>
#include <vector>

#include "arena/series/tournament_plan.h"

namespace arena::series {

class GameSchedule {
 public:
  // The two games of pair `pair` (1, 2, ...).
  using PairGames = std::function<std::array<ScheduledGame, 2>(int pair)>;

  // The games of a fixed plan, games 2k-1 and 2k forming pair k; `played`: the numbers of the
  // pairs already played whole.
  GameSchedule(std::vector<ScheduledGame> games, std::set<int> played);
  // Pairs made by `games_of`, at most `pairs` of them (nothing: without end).
  GameSchedule(PairGames games_of, std::optional<int> pairs, std::set<int> played);

  // The next game not yet played, the games of a pair one after the other; nothing once every
  // pair of the plan is handed out. A pair played only by half is handed out whole.
  std::optional<ScheduledGame> next();

  // The games of the plan; nothing for a plan without end.
  std::optional<std::size_t> total() const;
  // The games already played when the run started, within the plan.
  std::size_t played() const { return 2 * played_.size(); }

 private:
  PairGames games_of_;
  std::optional<int> pairs_;
  std::set<int> played_;
  int next_pair_ = 1;
  std::optional<ScheduledGame> second_;  // of the pair whose first game was just handed out
};

}  // namespace arena::series
