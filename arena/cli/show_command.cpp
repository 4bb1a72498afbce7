#include "arena/cli/show_command.h"

#include <filesystem>
#include <iostream>
#include <optional>
#include <vector>

#include "arena/cli/board_picture.h"
#include "arena/cli/command_line.h"
#include "arena/game/game_board.h"
#include "arena/game/game_files.h"
#include "arena/game/printable_text.h"
#include "arena/match/option_values.h"
#include "referee/scoring.h"

namespace arena::cli {
namespace {

const char* const kShowUsage = R"(usage: zarvo-arena show LOG [--move N]

Shows the board of the game whose referee's log is LOG (as `match` writes it under
refereelogs/) after move N (0: the starting tile alone; default: the last move), with the
tiles of move N marked, each player's colour and points on that board, and the tile placed
next with the number of places the rules allow it. Colours where standard output is a
terminal (TERM not "dumb", NO_COLOR not set); colour digits otherwise. For example:
  zarvo-arena show out/refereelogs/zarvo_greedy-zarvo_random.g1.log --move 12
Exit status: 0 shown, 2 bad command line or a log that cannot be read (damaged, cut short).
)";

std::array<std::string, 2> player_names(const std::filesystem::path& log) {
  if (auto files = GameFiles::from_log(log)) return {files->name1(), files->name2()};
  return {"player 1", "player 2"};
}

// "zarvo_greedy vs zarvo_random, game g1", short enough for the width of the board.
std::string game_title(const std::filesystem::path& log) {
  if (auto files = GameFiles::from_log(log))
    return files->name1() + " vs " + files->name2() + ", game " + files->id();
  return printable(log.filename().string(), 60);
}

std::string legend(const GameLog& game, std::size_t move, bool colour) {
  std::string text = "colours:";
  for (int c = 1; c <= 6; ++c) text += " " + colour_swatch(c, colour);
  text += "  . empty";
  if (move > 0) {
    text += colour ? ", underlined: move " : ", in brackets: move ";
    text += std::to_string(move) + " (" + game.moves[move - 1].text + ")";
  }
  return text + "\n";
}

// Who places what next, or how the game ended.
std::string what_next(const GameLog& game, std::size_t move, const situatie& board) {
  if (move < game.moves.size()) {
    const LoggedMove& next = game.moves[move];
    const std::string tile = next.tile();
    return "next: move " + std::to_string(move + 1) + ", player " + std::to_string(next.player) +
           " places the tile " + tile + ": " + std::to_string(legal_places(board, tile)) +
           " legal places\n";
  }
  if (game.both_disqualified) return "the game ended: both players were disqualified\n";
  if (!game.finished())
    return "the log ends before the game did: its referee stopped, or it was cut short\n";
  return "the game ended: the tile drawn next (not in the log) had no legal place\n";
}

}  // namespace

int run_show_command(std::span<const std::string> args) {
  if (asks_for_help(args)) {
    std::cout << kShowUsage;
    return 0;
  }
  std::vector<std::string> positional;
  std::optional<long long> move;
  try {
    CommandLine line;
    line.option("--move", [&](const std::string& v) { move = parse_whole(v, 0, 100000); });
    line.positionals(positional);
    line.parse(args);
    if (positional.size() != 1) throw UsageError("give one game log");
  } catch (const UsageError& error) {
    return usage_error("show", error.what());
  }
  const std::filesystem::path log = positional[0];
  GameLog game;
  try {
    game = read_checked_game_log(log);
  } catch (const GameLogError& error) {
    std::cerr << "zarvo-arena show: " << error.what() << "\n";
    return 2;
  }
  const std::size_t count = game.moves.size();
  if (move && static_cast<std::size_t>(*move) > count) {
    return usage_error("show", "--move " + std::to_string(*move) + ": the game has only " +
                                   std::to_string(count) + " moves");
  }
  const std::size_t shown = move ? static_cast<std::size_t>(*move) : count;
  const situatie board = board_after(game, shown);
  const bool colour = stdout_takes_colour();
  const auto names = player_names(log);

  std::cout << game_title(log) << ": after move " << shown << " of " << count << "\n\n"
            << board_picture(board, shown ? game.moves[shown - 1].text : "", colour) << "\n"
            << legend(game, shown, colour);
  for (int i = 0; i < 2; ++i) {
    const int colour_of = game.colours[i];
    std::cout << "player " << i + 1 << " " << names[i] << ": colour "
              << colour_swatch(colour_of, colour) << ", " << telpunten(board.bord, colour_of)
              << " points\n";
  }
  std::cout << what_next(game, shown, board) << std::flush;
  return 0;
}

}  // namespace arena::cli
