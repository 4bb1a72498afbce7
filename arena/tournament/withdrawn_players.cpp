#include "arena/tournament/withdrawn_players.h"

#include <algorithm>

namespace arena::tournament {
using namespace arena::series;

std::size_t exclude_players(LogScan& scan, const std::vector<std::string>& names) {
  auto withdrawn = [&](const GameRecord& game) {
    return std::any_of(names.begin(), names.end(), [&](const std::string& name) {
      return game.names[0] == name || game.names[1] == name;
    });
  };
  std::size_t before = scan.games.size();
  std::erase_if(scan.games, withdrawn);
  return before - scan.games.size();
}

}  // namespace arena::tournament
