#include "ladder/server/final_evaluation.h"

#include <algorithm>
#include <map>

#include "ladder/league/final_round.h"
#include "ladder/league/ladder_ratings.h"
#include "ladder/store/jobs.h"
#include "ladder/store/ladder_settings.h"
#include "ladder/store/ratings_store.h"
#include "ladder/store/versions.h"

namespace ladder::server {

namespace {

struct FinalRound {
  std::vector<store::FinalGame> games;
  std::map<std::int64_t, store::VersionRef> versions;
};

std::vector<league::PairingTotal> totals_of(const std::vector<store::FinalGame>& games) {
  std::map<std::pair<std::int64_t, std::int64_t>, league::PairingTotal> totals;
  for (const auto& game : games) {
    auto a = std::min(game.seat1, game.seat2), b = std::max(game.seat1, game.seat2);
    auto& total = totals[{a, b}];
    total.a = a;
    total.b = b;
    total.games += 1;
    int a_seat = a == game.seat1 ? 1 : 2;
    total.points_a += game.winner == 0 ? 0.5 : game.winner == a_seat ? 1.0 : 0.0;
  }
  std::vector<league::PairingTotal> list;
  for (const auto& [key, total] : totals) list.push_back(total);
  return list;
}

std::vector<store::FinalStanding> standings_of(const FinalRound& round) {
  std::map<std::int64_t, store::FinalStanding> by_version;
  std::vector<league::ActiveVersion> versions;
  for (const auto& [id, ref] : round.versions) {
    by_version[id].version = id;
    versions.push_back({.id = id});
  }
  for (const auto& game : round.games) {
    for (int seat = 1; seat <= 2; ++seat) {
      auto& s = by_version[seat == 1 ? game.seat1 : game.seat2];
      ++s.games;
      if (game.winner == 0)
        ++s.draws;
      else if (game.winner == seat)
        ++s.wins;
      else
        ++s.losses;
    }
  }
  league::LadderRatings fit;
  for (const auto& r : fit.refit(versions, totals_of(round.games))) {
    auto& s = by_version[r.id];
    s.rating = r.rating;
    s.low = r.low;
    s.high = r.high;
  }
  std::vector<store::FinalStanding> standings;
  for (const auto& [id, s] : by_version) standings.push_back(s);
  std::stable_sort(standings.begin(), standings.end(),
                   [](const auto& x, const auto& y) { return x.rating > y.rating; });
  return standings;
}

league::FinalResults site_results(const FinalRound& round, const store::DataDir& dir) {
  league::FinalResults results;
  for (const auto& [id, ref] : round.versions) {
    results.entrants.push_back({ref.entrant, ref.number, id});
  }
  for (const auto& game : round.games) {
    results.games.push_back({game.seat1, game.seat2, game.points1, game.points2, game.winner,
                             (dir.game(game.files) / "replay.html").string()});
  }
  return results;
}

}  // namespace

bool settle_final_round(store::Database& db, const store::DataDir& dir) {
  FinalRound round;
  {
    store::Transaction tx(db, store::Access::kRead);
    if (store::final_state(tx) != store::FinalState::kRunning) return false;
    if (store::pending_final_jobs(tx) > 0) return false;
    round.games = store::final_games(tx);
    for (const auto& game : round.games) {
      for (auto id : {game.seat1, game.seat2}) {
        if (!round.versions.contains(id)) round.versions[id] = store::version_ref(tx, id);
      }
    }
  }
  // The site first: killed before the database says the round is settled, the server settles
  // it again at its next start.
  league::write_final_site(dir.final_dir(), site_results(round, dir));
  store::Transaction tx(db);
  store::store_final_standings(tx, standings_of(round));
  store::set_final_state(tx, store::FinalState::kDone);
  tx.commit();
  return true;
}

}  // namespace ladder::server
