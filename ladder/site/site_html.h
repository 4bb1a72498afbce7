// The pieces every page of the ladder's web site is made of: text escaped for HTML, the page's
// head with its navigation and optional refresh, its end, times and ratings as people read
// them, and the one small stylesheet every page links.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ladder::site {

// `text` with & < > " ' written as character references.
std::string escape(std::string_view text);
// `text` made safe for a URL's path segment or query value (percent-encoded).
std::string url_part(std::string_view text);

struct PageHead {
  std::string title;
  std::string signed_in;    // the entrant's name, empty when nobody is signed in
  int refresh_seconds = 0;  // 0: no refresh
};
std::string page_start(const PageHead& head);
std::string page_end();

// "2026-12-09 16:40 UTC", or "never" for 0.
std::string utc_time(std::int64_t seconds);
// A number with `digits` digits after the point.
std::string fixed(double value, int digits);

extern const std::string_view kStylesheet;

}  // namespace ladder::site
