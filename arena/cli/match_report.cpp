#include "arena/cli/match_report.h"

#include <iostream>

#include "arena/game/game_files.h"
#include "arena/game/game_outcome.h"
#include "arena/game/game_usage.h"
#include "arena/game/logged_disqualifications.h"
#include "arena/match/disqualification_notes.h"
#include "arena/match/written_files_notes.h"
#include "arena/process/stop_signals.h"
#include "arena/system/bounded_read.h"

namespace arena::cli {
namespace {

// The last part of the referee's standard error, for the report of a failed game.
std::string tail_of(const std::filesystem::path& file, std::size_t limit = 4096) {
  std::string text = read_tail(file, limit + 1);
  if (text.size() > limit) text = "..." + text.substr(1);
  return text;
}

// Each side of a played game, with the move of a disqualification as the log gives it.
std::array<SideResult, 2> match_sides(const MatchResult& result) {
  std::array<std::string, 2> texts = result_texts(result.description);
  std::array<SideResult, 2> sides;
  for (int i = 0; i < 2; ++i) {
    sides[i] = {result.players[i].name, result.players[i].result, texts[i], std::nullopt};
  }
  for (const LoggedDisqualification& entry : read_disqualifications(result.log)) {
    if ((entry.player == 1 || entry.player == 2) && !sides[entry.player - 1].out_in_move)
      sides[entry.player - 1].out_in_move = entry.move;
  }
  return sides;
}

}  // namespace

std::optional<int> stopped_by_signal(std::string_view command) {
  const int sig = stop_signal_received();
  if (sig == 0) return std::nullopt;
  std::cerr << "zarvo-arena " << command << ": stopped by signal " << sig << std::endl;
  return 128 + sig;
}

MatchReport report_match(const MatchResult& result, std::string_view command) {
  const std::string prefix = "zarvo-arena " + std::string(command) + ": ";
  MatchReport report;
  if (result.shared_name) {
    std::cerr << prefix << "both players are named " << *result.shared_name << ", so they play as "
              << result.players[0].name << " and " << result.players[1].name
              << " (--name1 and --name2 name them otherwise)\n"
              << std::flush;
  }
  if (int sig = stop_signal_received()) {
    std::cerr << prefix << "game " << result.game_id << " stopped by signal " << sig << "\n";
    report.status = 128 + sig;
    return report;
  }
  if (!result.completed()) {
    std::cerr << prefix << "game " << result.game_id << ": " << result.failure << "\n"
              << "referee's standard error (" << result.referee_stderr.string() << "):\n"
              << tail_of(result.referee_stderr);
    // The referee reports its own set-up errors in the game log.
    if (std::filesystem::exists(result.log)) {
      std::cerr << "end of the game log (" << result.log.string() << "):\n"
                << tail_of(result.log, 1024);
    }
    std::cerr << std::flush;
    report.status = 1;
    return report;
  }
  // Why a player lost by disqualification, where a person sees it; the result line stays alone
  // on standard output for scripts.
  std::cerr << disqualification_notes(result) << written_files_notes(result) << std::flush;
  const auto& [one, two] = result.players;
  std::array<SideResult, 2> sides = match_sides(result);
  GameOutcome outcome = game_outcome(sides);
  if (is_disqualification(sides[0].text) || is_disqualification(sides[1].text)) {
    std::cerr << prefix << outcome.story(sides) << "\n" << std::flush;
  }
  // What each player used, for a tournament to read back beside the log.
  if (auto files = GameFiles::from_log(result.log)) {
    try {
      write_game_usage(files->usage(),
                       {PlayerUsage{one.cpu.count(), one.peak_kib, one.charged.count()},
                        PlayerUsage{two.cpu.count(), two.peak_kib, two.charged.count()}});
    } catch (const std::exception& error) {
      std::cerr << prefix << error.what() << "\n";
      report.status = 1;
      return report;
    }
  }
  report.winner = outcome.winner ? result.players[outcome.winner - 1].name : std::string("-");
  report.result_line = one.name + " vs " + two.name + ": " + std::to_string(one.result) + " " +
                       std::to_string(two.result) + " " + result.description + " winner " +
                       report.winner + " log " + result.log.string() + " page " +
                       result.page.string();
  std::cout << report.result_line << std::endl;
  return report;
}

}  // namespace arena::cli
