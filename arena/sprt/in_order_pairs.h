// The SPRT's count of pairs. The games of several pairs play at once and finish in any order;
// the pairs are counted strictly in the order of their numbers, 1, 2, ..., each as soon as it
// and all before it are whole, so that the same games always give the same decision at the
// same pair. Counting ends once the test has decided or has reached its limit of pairs.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "arena/series/game_pairs.h"
#include "arena/series/game_record.h"
#include "arena/stats/sprt.h"

namespace arena::sprt {

class InOrderPairs {
 public:
  // `player`: the tested player, whose points count; `max_pairs`: the limit, if any.
  InOrderPairs(std::string player, const stats::SprtParameters& parameters,
               std::optional<long long> max_pairs);

  // Game `game` (0: the pair's first, 1: its second) of pair `pair` has finished.
  void add(long long pair, int game, series::GameRecord record);
  void add(long long pair, series::PairRecords records);

  // Counts the next pair in order when it is whole and the test goes on; returns whether it
  // did.
  bool count_next();

  long long counted() const { return counted_; }
  bool decided() const { return status_.result != stats::SprtResult::none; }
  bool at_limit() const { return max_pairs_ && counted_ >= *max_pairs_; }
  const stats::SprtStatus& status() const { return status_; }

 private:
  std::string player_;
  stats::SprtParameters parameters_;
  std::optional<long long> max_pairs_;
  std::map<long long, series::PairRecords> waiting_;  // finished in part or whole, not yet counted
  stats::Pentanomial pentanomial_;
  stats::SprtStatus status_;
  long long counted_ = 0;
};

}  // namespace arena::sprt
