#include "ladder/league/final_round.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "arena/game/game_files.h"
#include "arena/game/game_names.h"
#include "arena/system/atomic_file.h"
#include "arena/tournament/published_site.h"
#include "arena/tournament/standings_json.h"
#include "arena/tournament/tournament_reports.h"

namespace ladder::league {

namespace fs = std::filesystem;
using arena::series::GameRecord;

namespace {

// The names the site gives the versions, unique and each a valid player name.
std::map<VersionId, std::string> site_names(const std::vector<FinalEntrant>& entrants) {
  std::map<VersionId, std::string> names;
  std::vector<std::string> taken;
  for (const FinalEntrant& e : entrants) {
    std::string name = e.name + "_v" + std::to_string(e.version);
    if (arena::player_name_problem(name) ||
        std::find(taken.begin(), taken.end(), name) != taken.end())
      name = "version_" + std::to_string(e.id);
    taken.push_back(name);
    names[e.id] = name;
  }
  return names;
}

// The game as the arena's standings read it: the result values a referee gives (the winner
// 200 plus the point difference, a draw 150 each, the loser 100 less it), from the winner and
// the points.
GameRecord game_record(const FinalGame& game, int number,
                       const std::map<VersionId, std::string>& names) {
  auto name = [&](VersionId id) {
    auto found = names.find(id);
    if (found == names.end())
      throw std::invalid_argument("a final game names version " + std::to_string(id) +
                                  ", which is not among the final entrants");
    return found->second;
  };
  if (game.winner < 0 || game.winner > 2)
    throw std::invalid_argument("a final game has winner " + std::to_string(game.winner) +
                                "; it must be 0 (a draw), 1 or 2");
  GameRecord record;
  record.id = std::to_string(number);
  record.number = number;
  record.names = {name(game.seat1), name(game.seat2)};
  if (game.winner == 0) {
    record.values = {150, 150};
    record.texts = {"DRAW", "DRAW"};
  } else {
    const int w = game.winner - 1;
    const long long difference =
        static_cast<long long>(game.points1) - static_cast<long long>(game.points2);
    const int margin = static_cast<int>(std::clamp((w == 0 ? 1 : -1) * difference, 0LL, 100LL));
    record.values[w] = 200 + margin;
    record.values[1 - w] = 100 - margin;
    record.texts[w] = "WIN";
    record.texts[1 - w] = "LOSE";
  }
  arena::GameFiles files(fs::path(), record.names[0], record.names[1], record.id);
  record.log = files.log();
  record.page = files.page();
  return record;
}

}  // namespace

std::vector<Pick> final_round_pairs(const std::vector<VersionId>& top, int games_per_pair) {
  if (games_per_pair <= 0 || games_per_pair % 2 != 0)
    throw std::invalid_argument(
        "the games of a final pairing must be a positive even number, not " +
        std::to_string(games_per_pair));
  std::vector<Pick> pairs;
  for (std::size_t i = 0; i < top.size(); ++i) {
    for (std::size_t j = i + 1; j < top.size(); ++j) {
      // A pair swaps the seats itself; who starts the pair alternates as well, so that each
      // version opens about half of its pairs.
      for (int k = 0; k < games_per_pair / 2; ++k) {
        if ((i + j + static_cast<std::size_t>(k)) % 2 == 0)
          pairs.push_back({top[i], top[j]});
        else
          pairs.push_back({top[j], top[i]});
      }
    }
  }
  return pairs;
}

void write_final_site(const fs::path& dir, const FinalResults& results) {
  const std::map<VersionId, std::string> names = site_names(results.entrants);
  arena::tournament::TournamentReport report;
  for (const FinalGame& game : results.games)
    report.games.push_back(game_record(game, static_cast<int>(report.games.size()) + 1, names));
  report.finished = report.games.size();
  report.planned = report.games.size();
  report.field = arena::tournament::compute_field(report.games);

  fs::create_directories(dir / "players");
  fs::create_directories(arena::GameFiles::log_dir_of(dir));
  for (std::size_t g = 0; g < results.games.size(); ++g) {
    const std::string& replay = results.games[g].replay_file;
    if (replay.empty()) continue;
    std::error_code error;
    fs::copy_file(replay, dir / report.games[g].page, fs::copy_options::overwrite_existing, error);
    if (error)
      throw std::runtime_error("cannot copy the replay page " + replay + ": " + error.message());
  }

  const std::string title = "Zarvo ladder: final evaluation";
  arena::tournament::PageOptions page;
  page.title = title;
  page.for_contestants = true;
  page.head_html = "<p>The final round robin of the ladder's leading versions, " +
                   std::to_string(report.games.size()) + " games.</p>\n" +
                   arena::tournament::entrants_html(report.field);
  arena::replace_file(dir / "standings.txt", arena::tournament::standings_txt(report));
  arena::replace_file(dir / "standings.json", arena::tournament::standings_json(report, {}));
  arena::replace_file(dir / "index.html", arena::tournament::index_html(report, page));
  for (std::size_t row = 0; row < report.field.rows.size(); ++row) {
    arena::replace_file(dir / arena::tournament::player_file(report.field.rows[row].name),
                        arena::tournament::player_page(title, report.field, row, report.games));
  }
}

}  // namespace ladder::league
