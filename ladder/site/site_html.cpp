#include "ladder/site/site_html.h"

#include <cstdio>
#include <ctime>

#include "arena/tournament/report_format.h"

namespace ladder::site {

std::string escape(std::string_view text) { return arena::tournament::html(text); }

std::string url_part(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string page_start(const PageHead& head) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">";
  if (head.refresh_seconds > 0) {
    page +=
        "<meta http-equiv=\"refresh\" content=\"" + std::to_string(head.refresh_seconds) + "\">";
  }
  page += "<title>" + escape(head.title) +
          " - Zarvo ladder</title>"
          "<link rel=\"stylesheet\" href=\"/site.css\"></head><body><nav>"
          "<a href=\"/\">Leaderboard</a>";
  if (head.signed_in.empty()) {
    page += "<a href=\"/signin\">Sign in</a>";
  } else {
    page += "<a href=\"/entrants/" + url_part(head.signed_in) + "\">" + escape(head.signed_in) +
            "</a><a href=\"/submit\">Submit</a><a href=\"/signout\">Sign out</a>";
  }
  page += "</nav><main><h1>" + escape(head.title) + "</h1>";
  return page;
}

std::string page_end() { return "</main></body></html>\n"; }

std::string utc_time(std::int64_t seconds) {
  if (seconds <= 0) return "never";
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &tm);
  return text;
}

std::string fixed(double value, int digits) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", digits, value);
  return text;
}

const std::string_view kStylesheet = R"(body{font:15px/1.4 system-ui,sans-serif;margin:0;color:#222}
nav{background:#234;padding:.5em 1em}nav a{color:#fff;margin-right:1em}
main{max-width:60em;margin:0 auto;padding:0 1em}
.scroll{overflow-x:auto;max-width:100%}
table{border-collapse:collapse;margin:.5em 0}th,td{padding:.2em .6em;border-bottom:1px solid #ddd;
text-align:left;white-space:nowrap}
pre{background:#f4f4f4;padding:.5em;overflow-x:auto;white-space:pre-wrap;word-break:break-all}
.note{color:#666}.error{color:#a00}form{margin:.5em 0}input,select,button{font:inherit}
input[type=text],input[type=password]{max-width:100%}svg{max-width:100%;height:auto}
)";

}  // namespace ladder::site
