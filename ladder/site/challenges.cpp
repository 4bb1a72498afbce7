#include "ladder/site/challenges.h"

#include <vector>

namespace ladder::site {

namespace {

// The priority of the ranked pairs: challenges wait in the same line.
constexpr long long kPairPriority = 2;

std::optional<long long> active_version(store::Transaction& tx, std::int64_t entrant) {
  long long id = 0, who = entrant;
  tx.sql() << "SELECT v.id FROM versions v JOIN entrants e ON e.id = v.entrant"
              " WHERE v.entrant = :e AND v.state = 'active' AND e.disabled = 0",
      soci::use(who), soci::into(id);
  if (!tx.sql().got_data()) return std::nullopt;
  return id;
}

std::optional<ChallengeRefusal> over_limits(store::Transaction& tx, long long entrant, int pairs,
                                            std::int64_t now) {
  long long open = 0;
  tx.sql() << "SELECT COUNT(DISTINCT c.id) FROM challenges c JOIN jobs j ON j.challenge = c.id"
              " WHERE c.entrant = :e AND j.state IN ('queued', 'leased')",
      soci::use(entrant), soci::into(open);
  if (open >= kOpenChallenges) {
    return ChallengeRefusal{"you have " + std::to_string(kOpenChallenges) +
                                " challenges still being played; ask again when one is done",
                            0};
  }
  long long since = now - 3600;
  std::vector<long long> created(64), asked(64);
  tx.sql() << "SELECT created, pairs FROM challenges WHERE entrant = :e AND created > :t"
              " ORDER BY created",
      soci::use(entrant), soci::use(since), soci::into(created), soci::into(asked);
  long long used = 0;
  for (long long n : asked) used += n;
  if (used + pairs <= kPairsPerHour) return std::nullopt;
  // The hour frees the oldest challenges first.
  std::int64_t next = now;
  for (std::size_t i = 0; i < created.size() && used + pairs > kPairsPerHour; ++i) {
    used -= asked[i];
    next = created[i] + 3600;
  }
  return ChallengeRefusal{"at most " + std::to_string(kPairsPerHour) + " pairs an hour", next};
}

}  // namespace

std::optional<ChallengeRefusal> challenge(store::Database& db, std::int64_t entrant,
                                          std::int64_t opponent, int pairs, std::int64_t now) {
  if (pairs < 1 || pairs > kMaxPairs) {
    return ChallengeRefusal{"ask for 1 to " + std::to_string(kMaxPairs) + " pairs", 0};
  }
  if (opponent == entrant) return ChallengeRefusal{"challenge another entrant", 0};
  store::Transaction tx(db);
  auto own = active_version(tx, entrant);
  auto theirs = active_version(tx, opponent);
  if (!own) return ChallengeRefusal{"you have no active version", 0};
  if (!theirs) return ChallengeRefusal{"that entrant has no active version", 0};
  long long who = entrant, at = now, count = pairs;
  if (auto refusal = over_limits(tx, who, pairs, now)) return refusal;
  tx.sql() << "INSERT INTO challenges (entrant, own_version, opponent_version, pairs, created)"
              " VALUES (:e, :o, :t, :n, :c)",
      soci::use(who), soci::use(*own), soci::use(*theirs), soci::use(count), soci::use(at);
  long long id = 0;
  tx.sql() << "SELECT MAX(id) FROM challenges WHERE entrant = :e", soci::use(who), soci::into(id);
  for (int i = 0; i < pairs; ++i) {
    tx.sql() << "INSERT INTO jobs (kind, priority, is_ranked, is_final, player1, player2, state,"
                " created, challenge) VALUES ('pair', :p, 0, 0, :a, :b, 'queued', :t, :c)",
        soci::use(kPairPriority), soci::use(*own), soci::use(*theirs), soci::use(at), soci::use(id);
  }
  tx.commit();
  return std::nullopt;
}

}  // namespace ladder::site
