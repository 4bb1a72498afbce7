#include "arena/tournament/tournament_reports.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace arena::tournament {
namespace fs = std::filesystem;

namespace {

std::string fixed(double value, int decimals) {
  if (std::isnan(value)) return "-";
  if (std::isinf(value)) return value > 0 ? "+inf" : "-inf";
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string signed_fixed(double value, int decimals) {
  std::string text = fixed(value, decimals);
  if (std::isfinite(value) && value >= 0 && text != "-") text = "+" + text;
  return text;
}

std::string margin_text(double margin) {
  if (std::isnan(margin)) return "-";
  if (std::isinf(margin)) return "inf";
  return fixed(margin, 1);
}

struct Row {
  std::vector<std::string> cells;
};

const std::vector<std::string> kStandingsHeader = {"Rank",   "Player",  "Games",   "Wins",  "Draws",
                                                   "Losses", "ILLEGAL", "TIMEOUT", "CRASH", "EXIT",
                                                   "Mean",   "Score%",  "Elo",     "+/-95%"};

std::vector<Row> standings_rows(const std::vector<Standing>& standings) {
  std::vector<Row> rows;
  int rank = 0;
  for (const auto& s : standings) {
    EloEstimate elo = estimate_elo(s.wins, s.draws, s.losses);
    Row row{{std::to_string(++rank), s.name, std::to_string(s.games), std::to_string(s.wins),
             std::to_string(s.draws), std::to_string(s.losses)}};
    for (int count : s.disqualifications) row.cells.push_back(std::to_string(count));
    row.cells.push_back(fixed(s.mean_value(), 1));
    row.cells.push_back(fixed(100 * s.score(), 1));
    row.cells.push_back(signed_fixed(elo.difference, 1));
    row.cells.push_back(margin_text(elo.margin));
    rows.push_back(std::move(row));
  }
  return rows;
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

std::string html(std::string_view text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      case '\'': escaped += "&#39;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

// A relative path as a link target: each byte outside the unreserved set
// percent-encoded.
std::string url_path(const fs::path& path) {
  static const char* hex = "0123456789ABCDEF";
  std::string url;
  for (unsigned char c : path.generic_string()) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += hex[c >> 4];
      url += hex[c & 15];
    }
  }
  return url;
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

void write_file(const fs::path& path, const std::string& content) {
  fs::path temporary = path;
  temporary += ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << content;
    out.flush();
    if (!out) throw std::runtime_error("cannot write " + temporary.string());
  }
  std::error_code error;
  fs::rename(temporary, path, error);
  if (error) throw std::runtime_error("cannot replace " + path.string() + ": " + error.message());
}

}  // namespace

std::string standings_table(const std::vector<Standing>& standings) {
  std::vector<Row> rows = standings_rows(standings);
  std::vector<std::size_t> widths;
  for (const auto& title : kStandingsHeader) widths.push_back(title.size());
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.cells.size(); ++i)
      widths[i] = std::max(widths[i], row.cells[i].size());
  }
  auto line = [&](const std::vector<std::string>& cells) {
    std::string text;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      std::string pad(widths[i] - cells[i].size(), ' ');
      if (i > 0) text += "  ";
      text += i == 1 ? cells[i] + pad : pad + cells[i];  // names left, numbers right
    }
    while (text.ends_with(' ')) text.pop_back();
    return text + "\n";
  };
  std::string text = line(kStandingsHeader);
  for (const auto& row : rows) text += line(row.cells);
  return text;
}

std::string results_csv(const std::vector<GameRecord>& games) {
  std::string csv =
      "game,player1,player2,first_player,result1,result2,text1,"
      "text2,disqualified,log,page\n";
  for (const auto& g : games) {
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
                                       g.page.generic_string()};
    for (std::size_t i = 0; i < fields.size(); ++i) csv += (i ? "," : "") + csv_field(fields[i]);
    csv += "\n";
  }
  return csv;
}

std::string standings_txt(const LogScan& scan) {
  std::string text = "Zarvo tournament standings: " + std::to_string(scan.games.size()) + " games";
  if (!scan.unfinished.empty())
    text += ", " + std::to_string(scan.unfinished.size()) + " unfinished";
  text += "\n\n" + standings_table(compute_standings(scan.games));
  text +=
      "\nA disqualified player loses; its opponent wins. Otherwise the "
      "higher result value wins.\n"
      "Score% counts a win 1 and a draw 1/2. Elo is the rating difference "
      "to the field met,\n"
      "with the half-width of its 95% confidence interval.\n";
  return text;
}

std::string index_html(const LogScan& scan) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"UTF-8\">\n"
      "<title>Zarvo tournament</title>\n<style>\n"
      "body { font-family: sans-serif; margin: 2em; }\n"
      "table { border-collapse: collapse; margin-bottom: 2em; }\n"
      "th, td { border: 1px solid #bbb; padding: 0.2em 0.6em; }\n"
      "td.num { text-align: right; }\n"
      "</style>\n</head>\n<body>\n<h1>Zarvo tournament</h1>\n";
  page += "<p>" + std::to_string(scan.games.size()) + " games";
  if (!scan.unfinished.empty())
    page += ", " + std::to_string(scan.unfinished.size()) + " unfinished";
  page += "</p>\n<h2>Standings</h2>\n<table id=\"standings\">\n<tr>";
  for (const auto& title : kStandingsHeader) page += "<th>" + html(title) + "</th>";
  page += "</tr>\n";
  for (const auto& row : standings_rows(compute_standings(scan.games))) {
    page += "<tr>";
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
      page += std::string(i == 1 ? "<td>" : "<td class=\"num\">") + html(row.cells[i]) + "</td>";
    }
    page += "</tr>\n";
  }
  page +=
      "</table>\n<h2>Games</h2>\n<table "
      "id=\"games\">\n<tr><th>Game</th><th>Player 1 (first)</th>"
      "<th>Player "
      "2</th><th>Result</th><th>Description</th><th>Disqualified</"
      "th><th>Replay</th>"
      "<th>Log</th></tr>\n";
  for (const auto& g : scan.games) {
    page += "<tr><td class=\"num\">" + html(g.id) + "</td><td>" + html(g.names[0]) + "</td><td>" +
            html(g.names[1]) + "</td><td class=\"num\">" + std::to_string(g.values[0]) + " - " +
            std::to_string(g.values[1]) + "</td><td>" + html(g.texts[0]) + " / " +
            html(g.texts[1]) + "</td><td>" + html(reason_of(g)) + "</td><td><a href=\"" +
            html(url_path(g.page)) + "\">replay</a></td><td><a href=\"" + html(url_path(g.log)) +
            "\">log</a></td></tr>\n";
  }
  page += "</table>\n";
  if (!scan.unfinished.empty()) {
    page += "<h2>Unfinished</h2>\n<ul>\n";
    for (const auto& log : scan.unfinished) {
      page += "<li><a href=\"" + html(url_path(log)) + "\">" + html(log.generic_string()) +
              "</a></li>\n";
    }
    page += "</ul>\n";
  }
  return page + "</body>\n</html>\n";
}

void write_reports(const fs::path& dir, const LogScan& scan) {
  write_file(dir / "results.csv", results_csv(scan.games));
  write_file(dir / "standings.txt", standings_txt(scan));
  write_file(dir / "index.html", index_html(scan));
}

}  // namespace arena::tournament
