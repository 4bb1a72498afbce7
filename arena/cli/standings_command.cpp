#include "arena/cli/standings_command.h"

#include <filesystem>
#include <iostream>
#include <optional>
#include <vector>

#include "arena/cli/command_line.h"
#include "arena/game/game_files.h"
#include "arena/series/game_record.h"
#include "arena/series/plan_file.h"
#include "arena/tournament/tournament_reports.h"
#include "arena/tournament/withdrawn_players.h"

namespace arena::cli {
using namespace arena::series;
using namespace arena::tournament;
namespace fs = std::filesystem;

namespace {

const char* const kStandingsUsage = R"(usage: zarvo-arena standings [--exclude NAME]... DIR

Rebuilds DIR/results.csv, DIR/standings.txt and DIR/index.html from the game logs in
DIR/refereelogs/, wherever the games were played, and prints the standings. When DIR's
tournament has games left to play, the files say how many of them are finished; the page it
writes never reloads itself (only a playing tournament keeps it up to date): run the command
again to see more games. Entries that --entries left out as not built (DIR/not-built.json) are
listed with their build's result. --exclude NAME leaves a withdrawn entrant out of the tables
(its games stay in DIR); repeatable.
)";

// The games the tournament of `dir` plans, from its plan file; nothing without one.
std::optional<std::size_t> planned_games_in(const fs::path& dir) {
  std::optional<PlanRecord> plan = read_plan(dir, kTournamentPlanFile);
  return plan ? plan->games : std::nullopt;
}

}  // namespace

int run_standings_command(std::span<const std::string> args) {
  if (asks_for_help(args)) {
    std::cout << kStandingsUsage;
    return 0;
  }
  std::vector<std::string> excluded, positional;
  try {
    CommandLine line;
    line.option("--exclude", [&](const std::string& v) { excluded.push_back(v); });
    line.positionals(positional);
    line.parse(args);
    if (positional.size() != 1) throw UsageError("give one tournament directory");
  } catch (const UsageError& error) {
    return usage_error("standings", error.what());
  }
  fs::path dir = run_directory(positional[0]);
  std::error_code error;
  if (!fs::is_directory(GameFiles::log_dir_of(dir), error)) {
    std::cerr << "zarvo-arena standings: " << GameFiles::log_dir_of(dir).string()
              << " is not a directory\n";
    return 2;
  }
  try {
    LogScan scan = scan_game_logs(dir);
    exclude_players(scan, excluded);
    TournamentReport report =
        report_of(dir, scan, excluded.empty() ? planned_games_in(dir) : std::nullopt);
    write_reports(dir, report);
    std::cout << standings_txt(report);
  } catch (const std::exception& failure) {
    std::cerr << "zarvo-arena standings: " << failure.what() << "\n";
    return 2;
  }
  return 0;
}

}  // namespace arena::cli
