#include "arena/tournament/published_site.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <stdexcept>

#include "arena/entry/entry_file.h"
#include "arena/game/game_files.h"
#include "arena/game/game_names.h"
#include "arena/match/turn_record.h"
#include "arena/series/run_settings.h"
#include "arena/system/atomic_file.h"
#include "arena/system/bounded_read.h"
#include "arena/tournament/game_note_text.h"
#include "arena/tournament/page_style.h"
#include "arena/tournament/report_format.h"
#include "arena/tournament/standings_json.h"
#include "arena/tournament/tournament_reports.h"
#include "arena/tournament/withdrawn_players.h"

namespace arena::tournament {
using namespace arena::series;
namespace fs = std::filesystem;

namespace {

// Far more than a turn record holds (its standard error is bounded per game).
constexpr std::size_t kTurnRecordLimit = 16 * 1024 * 1024;

std::string utc_text(fs::file_time_type time) {
  std::time_t seconds = std::chrono::system_clock::to_time_t(
      std::chrono::time_point_cast<std::chrono::system_clock::duration>(
          std::chrono::file_clock::to_sys(time)));
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &parts);
  return text;
}

std::string decimal(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// When the listed games were played, from their logs' times: "2026-12-09 03:40 UTC to ...".
std::string dates_text(const fs::path& dir, const std::vector<GameRecord>& games) {
  std::optional<fs::file_time_type> first, last;
  for (const GameRecord& game : games) {
    std::error_code error;
    auto time = fs::last_write_time(dir / game.log, error);
    if (error) continue;
    if (!first || time < *first) first = time;
    if (!last || time > *last) last = time;
  }
  if (!first) return "no games yet";
  return utc_text(*first) + " to " + utc_text(*last);
}

std::string settings_html(const std::optional<RunSettings>& settings, const std::string& dates) {
  std::string text = "<table id=\"settings\">\n";
  auto row = [&](std::string_view name, const std::string& value) {
    text += "<tr><th>" + html(name) + "</th><td>" + html(value) + "</td></tr>\n";
  };
  row("Played", dates);
  if (settings) {
    if (!settings->format.empty()) row("Format", settings->format);
    if (settings->games_per_pair) row("Games per pair", std::to_string(*settings->games_per_pair));
    row("Tile seed", settings->seed + (settings->seed_drawn ? " (drawn at random)" : ""));
    std::string limits = limits_text(*settings);
    row("Time control and limits", limits.empty() ? "the defaults of zarvo-arena match" : limits);
  }
  return text + "</table>\n";
}

// The arena's explanation of each disqualification in a game, a line each.
std::string notes_html(const GameNotes& notes) {
  std::string text;
  for (const DisqualificationNote& note : notes) {
    for (const std::string& line : note_lines(note)) text += "<div>" + html(line) + "</div>";
  }
  return text;
}

void copy_into_site(const fs::path& from, const fs::path& to) {
  std::error_code error;
  fs::create_directories(to.parent_path(), error);
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
  if (error)
    throw std::runtime_error("cannot copy " + from.string() + " to " + to.string() + ": " +
                             error.message());
}

// The game's turn record, keeping the standard error of `kept_player` only (0: nobody's), into
// `to`; false when the game has none or it is no turn record.
bool copy_turn_record(const fs::path& dir, const GameRecord& game, int kept_player,
                      const fs::path& to) {
  std::optional<GameFiles> files = GameFiles::from_log(dir / game.log);
  std::error_code error;
  if (!files || !fs::is_regular_file(files->turns(), error)) return false;
  std::string script;
  try {
    script = turn_record_without_stderr(read_head(files->turns(), kTurnRecordLimit), kept_player);
  } catch (const std::invalid_argument&) {
    return false;
  }
  fs::create_directories(to.parent_path());
  replace_file(to, script);
  return true;
}

// What each entrant alone may read of its games: its error files, the turn records with its own
// standard error, and the full notes of its disqualifications; the build log of an entry that did
// not build.
std::size_t write_private_folders(const fs::path& dir, const fs::path& private_dir,
                                  const TournamentReport& report) {
  std::size_t copied = 0;
  for (const GameRecord& game : report.games) {
    for (const fs::path& file : game.error_files) {
      // "<base>.player1.err" belongs to the game's first player; the referee's stays here.
      std::string seat = file.stem().extension().string();
      int side = seat == ".player1" ? 0 : seat == ".player2" ? 1 : -1;
      if (side < 0) continue;
      const fs::path own = private_dir / game.names[side];
      copy_into_site(dir / file, own / file.filename());
      ++copied;
      // The record's turns with what this player wrote to standard error in each.
      copy_turn_record(dir, game, side + 1,
                       own / fs::path(game.page).replace_extension(".turns.js").filename());
    }
    std::optional<GameFiles> files = GameFiles::from_log(dir / game.log);
    if (!files) continue;
    for (int side = 0; side < 2; ++side) {
      const fs::path own = private_dir / game.names[side];
      GameNotes notes;
      for (const DisqualificationNote& note : game.notes) {
        if (note.seat != side + 1) continue;
        notes.push_back(note);
        // The error file lies beside the notes; the organiser's path is none of the entrant's.
        notes.back().stderr_file = note.stderr_file.filename();
      }
      if (notes.empty()) continue;
      fs::create_directories(own);
      replace_file(own / (files->base() + ".notes.txt"), notes_text(notes));
    }
  }
  for (const NotBuiltEntry& entry : report.not_built) {
    std::error_code error;
    const fs::path log = entry.entry / entry::kBuildLog;
    if (player_name_problem(entry.name) || !fs::is_regular_file(log, error)) continue;
    copy_into_site(log, private_dir / entry.name / entry::kBuildLog);
    ++copied;
  }
  return copied;
}

}  // namespace

std::string player_file(const std::string& name) { return "players/" + name + ".html"; }

std::string entrants_html(const FieldStandings& field) {
  std::string text = "<p id=\"entrants\">Entrants:";
  for (const Standing& s : field.rows) {
    text += " <a href=\"" + html(url_path(player_file(s.name))) + "\">" + html(s.name) + "</a>";
  }
  return text + "</p>\n";
}

std::string player_page(const std::string& title, const FieldStandings& field, std::size_t row,
                        const std::vector<GameRecord>& games) {
  const Standing& s = field.rows[row];
  std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"UTF-8\">\n";
  page += "<title>" + html(s.name) + " - " + html(title) + "</title>\n" + std::string(kPageStyle);
  page += "</head>\n<body>\n<p><a href=\"../index.html\">" + html(title) + "</a></p>\n<h1>" +
          html(s.name) + "</h1>\n";
  page += "<p id=\"record\">Rank " + std::to_string(row + 1) + " of " +
          std::to_string(field.rows.size()) + ": " + std::to_string(s.games) + " games, " +
          std::to_string(s.wins) + " wins, " + std::to_string(s.draws) + " draws, " +
          std::to_string(s.losses) + " losses; Elo " + decimal("%+.1f", s.elo) + " +/- " +
          decimal("%.1f", s.elo_margin) + "</p>\n";
  page +=
      "<table id=\"games\">\n<tr><th>Game</th><th>Seat</th><th>Opponent</th><th>Result</th>"
      "<th>Points</th><th>Outcome</th><th>Replay</th><th>Why disqualified</th></tr>\n";
  for (const GameRecord& g : games) {
    int side = g.names[0] == s.name ? 0 : g.names[1] == s.name ? 1 : -1;
    if (side < 0) continue;
    GameOutcome outcome = outcome_of(g);
    double points = outcome.points()[side];
    page += "<tr><td class=\"num\">" + html(g.id) + "</td><td>" + (side == 0 ? "first" : "second") +
            "</td><td>" + html(g.names[1 - side]) + "</td><td class=\"num\">" +
            std::to_string(g.values[side]) + " - " + std::to_string(g.values[1 - side]) +
            "</td><td class=\"num\">" +
            (points == 0.5 ? "1/2"
             : points == 1 ? "1"
                           : "0") +
            "</td><td>" + html(outcome.story(sides_of(g))) + "</td><td><a href=\"../" +
            html(url_path(g.page)) + "\">replay</a></td><td class=\"note\">" + notes_html(g.notes) +
            "</td></tr>\n";
  }
  return page + "</table>\n</body>\n</html>\n";
}

PublishSummary publish_site(const fs::path& dir, const fs::path& out,
                            const PublishOptions& options) {
  std::error_code error;
  if (!fs::is_directory(GameFiles::log_dir_of(dir), error)) {
    throw std::runtime_error(GameFiles::log_dir_of(dir).string() + " is not a directory");
  }
  LogScan scan = scan_game_logs(dir);
  exclude_players(scan, options.excluded);
  std::optional<RunSettings> settings = read_run_settings(dir);
  if (settings) {
    std::erase_if(settings->players, [&](const std::string& name) {
      return std::find(options.excluded.begin(), options.excluded.end(), name) !=
             options.excluded.end();
    });
  }
  // Unfinished logs are the organiser's business; the site shows finished games.
  scan.unfinished.clear();
  std::optional<std::size_t> planned;
  if (settings && options.excluded.empty()) planned = settings->games;
  TournamentReport report = report_of(dir, scan, planned);
  std::erase_if(report.not_built, [&](const NotBuiltEntry& entry) {
    return std::find(options.excluded.begin(), options.excluded.end(), entry.name) !=
           options.excluded.end();
  });

  PublishSummary summary;
  summary.games = report.games.size();
  fs::create_directories(out / "players");
  fs::create_directories(GameFiles::log_dir_of(out));
  for (const auto& entry : fs::directory_iterator(dir / "resources", error)) {
    if (entry.is_regular_file(error))
      copy_into_site(entry.path(), out / "resources" / entry.path().filename());
  }
  for (const GameRecord& game : report.games) {
    if (fs::is_regular_file(dir / game.page, error)) {
      copy_into_site(dir / game.page, out / game.page);
      ++summary.replays;
    }
    // The replay page loads its turn record from beside it; nobody's standard error goes public.
    const fs::path record = fs::path(game.page).replace_extension(".turns.js");
    if (copy_turn_record(dir, game, 0, out / record)) ++summary.turn_records;
  }

  PageOptions page;
  page.title = options.title;
  page.for_contestants = true;
  page.head_html =
      settings_html(settings, dates_text(dir, report.games)) + entrants_html(report.field);
  replace_file(out / "index.html", index_html(report, page));
  replace_file(out / "standings.json", standings_json(report, settings));
  for (std::size_t row = 0; row < report.field.rows.size(); ++row) {
    replace_file(out / player_file(report.field.rows[row].name),
                 player_page(options.title, report.field, row, report.games));
  }

  if (options.private_dir)
    summary.private_files = write_private_folders(dir, *options.private_dir, report);
  return summary;
}

}  // namespace arena::tournament
