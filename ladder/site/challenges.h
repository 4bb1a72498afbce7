// Challenges: a signed-in entrant asks for unranked pairs between its active version and another
// entrant's, played like any pair but counted in no rating. An entrant has at most
// kOpenChallenges challenges with pairs still to play, and at most kPairsPerHour pairs asked in
// any hour; over either, the refusal tells when the next one may be asked.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "ladder/store/database.h"

namespace ladder::site {

inline constexpr int kDefaultPairs = 5;
inline constexpr int kMaxPairs = 20;
inline constexpr int kOpenChallenges = 3;
inline constexpr int kPairsPerHour = 10;

struct ChallengeRefusal {
  std::string reason;
  std::int64_t next_free = 0;  // when it may be asked again, 0: not a matter of time
};

// Queues `pairs` unranked pairs of the entrant's active version against `opponent`'s, or says
// why not.
std::optional<ChallengeRefusal> challenge(store::Database& db, std::int64_t entrant,
                                          std::int64_t opponent, int pairs, std::int64_t now);

}  // namespace ladder::site
