#include "ladder/league/final_round.h"

#include <stdexcept>

namespace ladder::league {

std::vector<Pick> final_round_pairs(const std::vector<VersionId>& top, int games_per_pair) {
  if (games_per_pair <= 0 || games_per_pair % 2 != 0)
    throw std::invalid_argument("the games of a pairing must be a positive even number");
  std::vector<Pick> out;
  for (std::size_t i = 0; i < top.size(); ++i)
    for (std::size_t j = i + 1; j < top.size(); ++j)
      for (int k = 0; k < games_per_pair / 2; ++k) out.push_back({top[i], top[j]});
  return out;
}

void write_final_site(const std::filesystem::path& dir, const FinalResults& results) {
  (void)dir;
  (void)results;
}

}  // namespace ladder::league
