// The replay page: the game's data in a small HTML file beside the game log, drawn by a viewer
// script loaded from jspath. Names and the identifier come from the log path, the message from
// the players' result texts: every inserted text is escaped for the place it goes (HTML text,
// attribute value, JavaScript string literal inside a script element), so that no text can
// break the page or add markup or script to it. Plain texts come out unchanged.
#include "checkerlib/create_html.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kViewerName = "zarvo";

// Writes text into out (capacity cap), each character through escape(), which returns the
// replacement of a character or null to keep it. A text too long for out is cut at a whole
// replacement, never inside one.
template <typename Escape>
void escape_into(char* out, size_t cap, const char* text, size_t length, Escape escape) {
  size_t at = 0;
  for (size_t i = 0; i < length; ++i) {
    char single[2] = {text[i], '\0'};
    size_t consumed = 1;
    const char* piece = escape(text + i, length - i, &consumed);
    if (piece == nullptr) piece = single;
    size_t n = std::strlen(piece);
    if (at + n >= cap) break;
    std::memcpy(out + at, piece, n);
    at += n;
    i += consumed - 1;
  }
  out[at] = '\0';
}

// HTML text and double- or single-quoted attribute values.
const char* html_escape(const char* s, size_t, size_t*) {
  switch (*s) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    case '\'': return "&#39;";
    default: return nullptr;
  }
}

// The body of a JavaScript string literal inside an HTML script element: besides quotes and
// backslashes, "<" and ">" are escaped so that no "</script>" can close the element, and the
// line ends (U+2028 and U+2029 among them) that a literal cannot hold.
const char* js_escape(const char* s, size_t left, size_t* consumed) {
  static char hex[8];
  unsigned char c = static_cast<unsigned char>(*s);
  switch (c) {
    case '\\': return "\\\\";
    case '\'': return "\\'";
    case '"': return "\\\"";
    default: break;
  }
  if (c < 0x20 || c == 0x7f || c == '<' || c == '>' || c == '&') {
    std::snprintf(hex, sizeof hex, "\\x%02X", c);
    return hex;
  }
  if (c == 0xe2 && left >= 3 && static_cast<unsigned char>(s[1]) == 0x80 &&
      (static_cast<unsigned char>(s[2]) == 0xa8 || static_cast<unsigned char>(s[2]) == 0xa9)) {
    *consumed = 3;
    return static_cast<unsigned char>(s[2]) == 0xa8 ? "\\u2028" : "\\u2029";
  }
  return nullptr;
}

void html_text(char* out, size_t cap, const char* text) {
  escape_into(out, cap, text, std::strlen(text), html_escape);
}

void js_text(char* out, size_t cap, const char* text, size_t length) {
  escape_into(out, cap, text, length, js_escape);
}

// The move list arrives as 'move','move',... without the final comma. Each move between the
// quotes is escaped on its own, so the list stays a list of string literals whatever the move
// texts hold; a list of plain moves comes out unchanged.
void js_move_list(char* out, size_t cap, const char* zetten) {
  size_t length = std::strlen(zetten);
  out[0] = '\0';
  if (length == 0) return;
  if (length >= 2 && zetten[0] == '\'' && zetten[length - 1] == '\'') {
    ++zetten;
    length -= 2;
  }
  size_t at = 0;
  const char* end = zetten + length;
  const char* entry = zetten;
  for (;;) {
    const char* separator = nullptr;
    for (const char* s = entry; s + 3 <= end; ++s) {
      if (std::strncmp(s, "','", 3) == 0) {
        separator = s;
        break;
      }
    }
    const char* entry_end = separator != nullptr ? separator : end;
    if (at + 4 >= cap) break;  // room for at least the quotes and a comma
    if (entry != zetten) out[at++] = ',';
    out[at++] = '\'';
    js_text(out + at, cap - at - 1, entry, static_cast<size_t>(entry_end - entry));
    at += std::strlen(out + at);
    out[at++] = '\'';
    out[at] = '\0';
    if (separator == nullptr) break;
    entry = separator + 3;
  }
}

// Copies [from, to) into out (capacity cap), cut to fit.
void copy_part(char* out, size_t cap, const char* from, const char* to) {
  std::snprintf(out, cap, "%.*s", static_cast<int>(to - from), from);
}

// Reads ".../refereelogs/NAME1-NAME2.ID.log" into its parts; false when the path has another form.
bool parse_log_path(const char* path, char* name1, char* name2, size_t name_cap, char* id,
                    size_t id_cap) {
  const char* marker = std::strstr(path, "/refereelogs/");
  if (marker == nullptr) return false;
  const char* start = marker + std::strlen("/refereelogs/");
  const char* dash = std::strchr(start, '-');
  if (dash == nullptr) return false;
  const char* dot = std::strchr(dash + 1, '.');
  if (dot == nullptr) return false;
  const char* dot2 = std::strchr(dot + 1, '.');
  if (dot2 == nullptr || std::strcmp(dot2 + 1, "log") != 0) return false;
  copy_part(name1, name_cap, start, dash);
  copy_part(name2, name_cap, dash + 1, dot);
  copy_part(id, id_cap, dot + 1, dot2);
  return true;
}

}  // namespace

void create_html(const char* log_naam, int score1, int score2, const char* zetten,
                 const char* jspath, const char* message) {
  if (log_naam == nullptr) return;

  static char page_path[1024];
  static char name1[1024];
  static char name2[1024];
  static char id[128];
  static char title[4096];
  size_t path_length = std::strlen(log_naam);
  // The page path takes the log path and ".html": a longer log path has no page.
  if (path_length > sizeof page_path - 6) return;

  if (parse_log_path(log_naam, name1, name2, sizeof name1, id, sizeof id)) {
    std::snprintf(title, sizeof title, "Zarvo game %s: %s - %s", id, name1, name2);
    std::snprintf(page_path, sizeof page_path, "%.*s.html", static_cast<int>(path_length - 4),
                  log_naam);
  } else {
    std::snprintf(name1, sizeof name1, "%s", "Player 1");
    std::snprintf(name2, sizeof name2, "%s", "Player 2");
    std::snprintf(title, sizeof title, "Zarvo game %s", log_naam);
    std::snprintf(page_path, sizeof page_path, "%s.html", log_naam);
  }

  // Escaped texts take up to six characters for one.
  static char title_html[6 * sizeof title];
  static char message_html[6 * 1024];
  static char jspath_attr[6 * 128];
  static char name1_js[6 * sizeof name1];
  static char name2_js[6 * sizeof name2];
  static char start_js[6 * sizeof beginzet];
  static char moves_js[6 * 65536];
  html_text(title_html, sizeof title_html, title);
  html_text(message_html, sizeof message_html, message);
  html_text(jspath_attr, sizeof jspath_attr, jspath);
  js_text(name1_js, sizeof name1_js, name1, std::strlen(name1));
  js_text(name2_js, sizeof name2_js, name2, std::strlen(name2));
  js_text(start_js, sizeof start_js, beginzet, strnlen(beginzet, sizeof beginzet));
  js_move_list(moves_js, sizeof moves_js, zetten);

  FILE* page = std::fopen(page_path, "w");
  if (page == nullptr) return;
  std::fprintf(
      page,
      "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
      "\"http://www.w3.org/TR/html4/loose.dtd\">\n"
      "<html>\n"
      "<head>\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">\n"
      "<title>%s</title>\n"
      "<script type=\"text/javascript\">var moves=['%s', %s];</script>\n"
      "<script type=\"text/javascript\" src=\"%s%s.js\"></script>\n"
      "<link rel=\"stylesheet\" type=\"text/css\" href=\"%s%s.css\">\n"
      "</head>\n"
      "<body>\n"
      "<h2>%s</h2>\n"
      "<table>\n"
      "<tbody>\n"
      "<tr><th align=\"left\">Message:&nbsp;&nbsp;</th><td class=\"quvborder\">%s</td></tr>\n"
      "<tr><th align=\"left\">Result:&nbsp;&nbsp;</th><td class=\"quvborder\">%d - %d</td></tr>\n"
      "</tbody>\n"
      "</table>\n"
      "<br>\n"
      "<div id=\"game-report\">\n"
      "<table><tbody><tr>\n"
      "<td>\n"
      "<div id=\"game-container\"><canvas id=\"canvas-1\"></canvas>"
      "<canvas id=\"canvas-2\"></canvas></div>\n"
      "<div id=\"scores\"><pre id=\"p1-score\">Player 1 (colour ?): 0</pre>"
      "<pre id=\"p2-score\">Player 2 (colour ?): 0</pre></div>\n"
      "<div class=\"button-bar\">"
      "<button id=\"first\">&lt;&lt;</button>"
      "<button id=\"prev\">&lt;</button>"
      "<button id=\"next\">&gt;</button>"
      "<button id=\"last\">&gt;&gt;</button>"
      "<button id=\"play-pause\">Play</button></div>\n"
      "</td>\n"
      "<td id=\"move-table\"><div tabindex=\"1\"></div></td>\n"
      "</tr></tbody></table>\n"
      "</div>\n"
      "<script type=\"text/javascript\">var g = new Zarvo([ '%s', '%s' ], moves, [ %d, %d ]);"
      "</script>\n"
      "<p class=\"footer\">Replayed by the Zarvo referee. The viewer and the players belong to "
      "their authors.</p>\n"
      "</body>\n"
      "</html>\n",
      title_html, start_js, moves_js, jspath_attr, kViewerName, jspath_attr, kViewerName,
      title_html, message_html, score1, score2, name1_js, name2_js, kleur1, kleur2);
  std::fclose(page);
}
