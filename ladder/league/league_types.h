// The plain records the league's arithmetic works on: an active version as the matchmaker sees
// it, a pick of two versions to play a pair, the totals of a pairing as the ratings read them,
// and a version's rating with its interval. The store fills them; nothing here touches it.
#pragma once

#include <cstdint>

namespace ladder::league {

using VersionId = std::int64_t;

// An active version of an entrant, with what the matchmaker needs to know about it.
struct ActiveVersion {
  VersionId id = 0;
  std::int64_t entrant = 0;
  double rating = 0;             // Elo, the last fit's
  int pairs = 0;                 // ranked pairs finished
  int in_flight = 0;             // pair jobs queued or leased
  std::int64_t last_played = 0;  // UNIX seconds of its last finished pair, 0 for never
  VersionId last_opponent = 0;   // 0 for none
};

// Two versions to play a pair: `first` takes seat 1 in the first game.
struct Pick {
  VersionId first = 0, second = 0;
};

// All ranked games between a and b: how many, and the points a scored (a win 1, a draw 1/2).
struct PairingTotal {
  VersionId a = 0, b = 0;
  double games = 0, points_a = 0;
};

// A version's rating (Elo, mean 0 over the active versions) and its 95% interval.
struct Rating {
  VersionId id = 0;
  double rating = 0, low = 0, high = 0;
  bool provisional = true;  // fewer than kSettlingPairs pairs
};

}  // namespace ladder::league
