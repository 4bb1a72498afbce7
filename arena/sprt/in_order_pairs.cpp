#include "arena/sprt/in_order_pairs.h"

#include <utility>

namespace arena::sprt {
using namespace arena::series;

InOrderPairs::InOrderPairs(std::string player, const stats::SprtParameters& parameters,
                           std::optional<long long> max_pairs)
    : player_(std::move(player)),
      parameters_(parameters),
      max_pairs_(max_pairs),
      status_(stats::sprt_status(pentanomial_, parameters)) {}

void InOrderPairs::add(long long pair, int game, GameRecord record) {
  waiting_[pair][game == 0 ? 0 : 1] = std::move(record);
}

void InOrderPairs::add(long long pair, PairRecords records) { waiting_[pair] = std::move(records); }

bool InOrderPairs::count_next() {
  if (decided() || at_limit()) return false;
  auto found = waiting_.find(counted_ + 1);
  if (found == waiting_.end() || !whole(found->second)) return false;
  pentanomial_.add(pair_half_points(*found->second[0], *found->second[1], player_));
  waiting_.erase(found);
  ++counted_;
  status_ = stats::sprt_status(pentanomial_, parameters_);
  return true;
}

}  // namespace arena::sprt
