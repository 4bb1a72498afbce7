#include "arena/tournament/tournament_reports.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "arena/system/atomic_file.h"
#include "arena/tournament/game_note_text.h"
#include "arena/tournament/page_style.h"
#include "arena/tournament/report_format.h"
#include "arena/tournament/standings_json.h"

namespace arena::tournament {
using namespace arena::series;
namespace fs = std::filesystem;

namespace {

std::string fixed(double value, int decimals) {
  if (std::isnan(value)) return "-";
  if (std::isinf(value)) return value > 0 ? "+inf" : "-inf";
  // What rounds to zero shows as zero, never as "-0.0".
  if (std::abs(value) < 0.5 * std::pow(10.0, -decimals)) value = 0;
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string signed_fixed(double value, int decimals) {
  std::string text = fixed(value, decimals);
  if (std::isfinite(value) && text != "-" && text[0] != '-') text = "+" + text;
  return text;
}

// Points are whole or half: "3" or "2.5".
std::string points_text(double points) {
  return std::floor(points) == points ? fixed(points, 0) : fixed(points, 1);
}

using Cells = std::vector<std::string>;

// A column for each disqualification reason, in the order of the standings' counts.
const Cells kStandingsHeader = [] {
  Cells header = {"Rank", "Player", "Games", "Wins", "Draws", "Losses"};
  header.insert(header.end(), kDisqualificationReasons.begin(), kDisqualificationReasons.end());
  header.insert(header.end(), {"Mean", "Score%", "Elo", "+/-95%", "LOS%"});
  return header;
}();

std::vector<Cells> standings_rows(const FieldStandings& field, std::size_t max_rows) {
  std::vector<Cells> rows;
  int rank = 0;
  for (const auto& s : field.rows) {
    if (rows.size() == max_rows) break;
    Cells row{std::to_string(++rank),  s.name,
              std::to_string(s.games), std::to_string(s.wins),
              std::to_string(s.draws), std::to_string(s.losses)};
    for (int count : s.disqualifications) row.push_back(std::to_string(count));
    row.push_back(fixed(s.mean_value(), 1));
    row.push_back(fixed(100 * s.score(), 1));
    row.push_back(signed_fixed(s.elo, 1));
    row.push_back(fixed(s.elo_margin, 1));
    row.push_back(fixed(100 * s.los_next, 1));
    rows.push_back(std::move(row));
  }
  return rows;
}

Cells crosstable_header(const FieldStandings& field) {
  Cells header = {"Rank", "Player"};
  for (std::size_t i = 1; i <= field.rows.size(); ++i) header.push_back(std::to_string(i));
  return header;
}

// "points/games" of the row's player against the column's; "-" on the diagonal, "." for a
// pairing without games.
std::vector<Cells> crosstable_rows(const FieldStandings& field) {
  std::vector<Cells> rows;
  for (std::size_t r = 0; r < field.rows.size(); ++r) {
    Cells row = {std::to_string(r + 1), field.rows[r].name};
    for (std::size_t c = 0; c < field.rows.size(); ++c) {
      const CrossCell& cell = field.cross[r][c];
      row.push_back(r == c ? "-"
                    : cell.games == 0
                        ? "."
                        : points_text(cell.points) + "/" + std::to_string(cell.games));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

// Names left, numbers right, two spaces between columns.
std::string aligned(const Cells& header, const std::vector<Cells>& rows) {
  std::vector<std::size_t> widths;
  for (const auto& title : header) widths.push_back(title.size());
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  auto line = [&](const Cells& cells) {
    std::string text;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      std::string pad(widths[i] - cells[i].size(), ' ');
      if (i > 0) text += "  ";
      text += i == 1 ? cells[i] + pad : pad + cells[i];
    }
    while (text.ends_with(' ')) text.pop_back();
    return text + "\n";
  };
  std::string text = line(header);
  for (const auto& row : rows) text += line(row);
  return text;
}

std::string csv_field(std::string_view text) {
  if (text.find_first_of(",\"\n\r") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// "player1", "player2" or "referee", from "<base>.player1.err".
std::string error_file_label(const fs::path& file) {
  return file.stem().extension().string().substr(1);
}

std::string reason_of(const GameRecord& game) {
  std::string reasons;
  for (int side = 0; side < 2; ++side) {
    if (!disqualification_index(game.texts[side])) continue;
    if (!reasons.empty()) reasons += ' ';
    reasons += game.names[side] + ":" + game.texts[side];
  }
  return reasons;
}

std::string winner_of(const GameRecord& game, const GameOutcome& outcome) {
  return outcome.winner ? game.names[outcome.winner - 1] : "";
}

std::string cpu_text(const GameRecord& game, int side) {
  return game.usage[side] ? std::to_string(game.usage[side]->cpu_ms) : "";
}

std::string peak_text(const GameRecord& game, int side) {
  return game.usage[side] && game.usage[side]->peak_kib
             ? std::to_string(*game.usage[side]->peak_kib)
             : "";
}

// The line under the headline that says how far the tournament is; empty once it is complete
// (or when its plan is not known).
std::string progress_note(const TournamentReport& report) {
  std::string counts = std::to_string(report.finished) + " of " +
                       (report.planned ? std::to_string(*report.planned) : std::string("?")) +
                       " games finished";
  if (report.live) return "Playing: " + counts + "; rewritten after every game.";
  if (report.planned && report.finished < *report.planned) {
    return "Incomplete: " + counts + "; the same tournament command plays the rest.";
  }
  return "";
}

std::string html_table(const std::string& id, const Cells& header, const std::vector<Cells>& rows) {
  std::string table = "<table id=\"" + id + "\">\n<tr>";
  for (const auto& title : header) table += "<th>" + html(title) + "</th>";
  table += "</tr>\n";
  for (const auto& row : rows) {
    table += "<tr>";
    for (std::size_t i = 0; i < row.size(); ++i) {
      table += std::string(i == 1 ? "<td>" : "<td class=\"num\">") + html(row[i]) + "</td>";
    }
    table += "</tr>\n";
  }
  return table + "</table>\n";
}

const char* const kLegend =
    "A disqualified player loses; its opponent wins. Otherwise the higher result value wins.\n"
    "Score% counts a win 1 and a draw 1/2. Elo: one rating per player, the maximum-likelihood\n"
    "fit of all games (i scores s(Ri - Rj) = 1 / (1 + 10^((Rj - Ri) / 400)) against j, a draw\n"
    "half a point; the ratings have mean 0, and each player carries two virtual draws against\n"
    "a player rated 0). +/-95%: half the width of the rating's 95% interval, from the\n"
    "curvature of the likelihood (its inverse Hessian). LOS%: the likelihood that the player\n"
    "is stronger than the one ranked next below.\n";

// The entries that never played, each with its build's result.
std::string not_built_html(const std::vector<NotBuiltEntry>& entries) {
  if (entries.empty()) return "";
  std::string text =
      "<h2>Not built</h2>\n<p>These entries did not build, so they played no game.</p>\n"
      "<table id=\"not-built\">\n<tr><th>Entry</th><th>Build result</th></tr>\n";
  for (const NotBuiltEntry& entry : entries) {
    text += "<tr><td>" + html(entry.name) + "</td><td>" + html(entry.reason) + "</td></tr>\n";
  }
  return text + "</table>\n";
}

}  // namespace

TournamentReport report_of(const LogScan& scan, std::optional<std::size_t> planned) {
  TournamentReport report;
  report.field = compute_field(scan.games);
  report.finished = scan.games.size();
  report.games = scan.games;
  report.unfinished = scan.unfinished;
  report.planned = planned;
  return report;
}

TournamentReport report_of(const fs::path& dir, const LogScan& scan,
                           std::optional<std::size_t> planned) {
  TournamentReport report = report_of(scan, planned);
  report.not_built = read_not_built(dir);
  return report;
}

std::string standings_table(const FieldStandings& field, std::size_t max_rows) {
  return aligned(kStandingsHeader, standings_rows(field, max_rows));
}

std::string crosstable(const FieldStandings& field) {
  return aligned(crosstable_header(field), crosstable_rows(field));
}

std::string results_csv(const std::vector<GameRecord>& games) {
  std::string csv =
      "game,player1,player2,first_player,result1,result2,text1,"
      "text2,disqualified,log,page,winner,outcome,cpu_ms1,cpu_ms2,peak_kib1,peak_kib2,note\n";
  for (const auto& g : games) {
    GameOutcome outcome = outcome_of(g);
    std::vector<std::string> fields = {g.id,
                                       g.names[0],
                                       g.names[1],
                                       g.names[0],
                                       std::to_string(g.values[0]),
                                       std::to_string(g.values[1]),
                                       g.texts[0],
                                       g.texts[1],
                                       reason_of(g),
                                       g.log.generic_string(),
                                       g.page.generic_string(),
                                       winner_of(g, outcome),
                                       outcome.story(sides_of(g))};
    for (int side = 0; side < 2; ++side) fields.push_back(cpu_text(g, side));
    for (int side = 0; side < 2; ++side) fields.push_back(peak_text(g, side));
    fields.push_back(notes_line(g.notes));
    for (std::size_t i = 0; i < fields.size(); ++i) csv += (i ? "," : "") + csv_field(fields[i]);
    csv += "\n";
  }
  return csv;
}

std::string standings_txt(const TournamentReport& report) {
  std::string text = "Zarvo tournament standings: " + std::to_string(report.finished) + " games";
  if (!report.unfinished.empty())
    text += ", " + std::to_string(report.unfinished.size()) + " unfinished";
  text += "\n";
  if (std::string note = progress_note(report); !note.empty()) text += note + "\n";
  text += "\n" + standings_table(report.field) + "\n" + kLegend;
  text +=
      "\nCrosstable: points of the row's player against the column's, of the games they "
      "played.\n\n" +
      crosstable(report.field);
  if (!report.not_built.empty()) {
    text += "\nNot built, so left out of the games:\n";
    for (const NotBuiltEntry& entry : report.not_built)
      text += "  " + entry.name + ": " + entry.reason + "\n";
  }
  return text;
}

std::string index_html(const TournamentReport& report, const PageOptions& options) {
  std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"UTF-8\">\n";
  if (report.live) {
    page += "<meta http-equiv=\"refresh\" content=\"" + std::to_string(kReloadSeconds) + "\">\n";
  }
  page += "<title>" + html(options.title) + "</title>\n" + std::string(kPageStyle) +
          "</head>\n<body>\n<h1>" + html(options.title) + "</h1>\n" + options.head_html;
  page += "<p>" + std::to_string(report.finished) + " games";
  if (!report.unfinished.empty())
    page += ", " + std::to_string(report.unfinished.size()) + " unfinished";
  page += "</p>\n";
  if (std::string note = progress_note(report); !note.empty()) {
    page += "<p id=\"progress\">" + html(note) + "</p>\n";
  }
  page += "<h2>Standings</h2>\n" +
          html_table("standings", kStandingsHeader, standings_rows(report.field, SIZE_MAX));
  page += "<pre>" + html(kLegend) + "</pre>\n";
  page +=
      "<h2>Crosstable</h2>\n<p>Points of the row's player against the column's, of the games "
      "they played.</p>\n" +
      html_table("crosstable", crosstable_header(report.field), crosstable_rows(report.field));
  page += not_built_html(report.not_built);
  if (report.live) {
    page += "<h2>Latest games</h2>\n<p>The " + std::to_string(report.games.size()) +
            " most recent of " + std::to_string(report.finished) +
            " games, newest first; every game is listed once the run ends.</p>\n";
  } else {
    page += "<h2>Games</h2>\n";
  }
  page +=
      "<table id=\"games\">\n<tr><th>Game</th><th>Player 1 (first)</th><th>Player 2</th>"
      "<th>Result</th><th>Winner</th><th>Outcome</th><th>Referee's report</th><th>Replay</th>";
  if (!options.for_contestants) page += "<th>Log</th><th>Error files</th>";
  page += "</tr>\n";
  for (const auto& g : report.games) {
    GameOutcome outcome = outcome_of(g);
    page += "<tr><td class=\"num\">" + html(g.id) + "</td><td>" + html(g.names[0]) + "</td><td>" +
            html(g.names[1]) + "</td><td class=\"num\">" + std::to_string(g.values[0]) + " - " +
            std::to_string(g.values[1]) + "</td><td class=\"winner\">" +
            html(outcome.winner ? winner_of(g, outcome)
                 : outcome.draw ? "draw"
                                : "nobody") +
            "</td><td class=\"outcome\">" + html(outcome.story(sides_of(g))) + "</td><td>" +
            html(g.texts[0]) + " / " + html(g.texts[1]) + "</td><td><a href=\"" +
            html(url_path(options.link_prefix / g.page)) + "\">replay</a></td>";
    if (!options.for_contestants) {
      page += "<td><a href=\"" + html(url_path(g.log)) + "\">log</a></td><td>";
      for (std::size_t i = 0; i < g.error_files.size(); ++i) {
        page += std::string(i ? " " : "") + "<a class=\"errors\" href=\"" +
                html(url_path(g.error_files[i])) + "\">" +
                html(error_file_label(g.error_files[i])) + "</a>";
      }
      page += "</td>";
    }
    page += "</tr>\n";
  }
  page += "</table>\n";
  if (!report.unfinished.empty()) {
    page += "<h2>Unfinished</h2>\n<ul>\n";
    for (const auto& log : report.unfinished) {
      page += "<li><a href=\"" + html(url_path(log)) + "\">" + html(log.generic_string()) +
              "</a></li>\n";
    }
    page += "</ul>\n";
  }
  return page + "</body>\n</html>\n";
}

std::string standings_txt(const LogScan& scan) { return standings_txt(report_of(scan)); }
std::string index_html(const LogScan& scan) { return index_html(report_of(scan), {}); }

void write_summary(const fs::path& dir, const TournamentReport& report) {
  replace_file(dir / "standings.txt", standings_txt(report));
  replace_file(dir / "standings.json", standings_json(report, read_run_settings(dir)));
  replace_file(dir / "index.html", index_html(report, {}));
}

void write_reports(const fs::path& dir, const TournamentReport& report) {
  replace_file(dir / "results.csv", results_csv(report.games));
  write_summary(dir, report);
}

void write_reports(const fs::path& dir, const LogScan& scan) {
  write_reports(dir, report_of(scan));
}

}  // namespace arena::tournament
