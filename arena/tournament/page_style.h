// The stylesheet of every page a tournament writes (its own index.html and each page of the
// published site), so that they look alike.
#pragma once

#include <string_view>

namespace arena::tournament {

inline constexpr std::string_view kPageStyle =
    "<style>\n"
    "body { font-family: sans-serif; margin: 2em; }\n"
    "table { border-collapse: collapse; margin-bottom: 2em; }\n"
    "th, td { border: 1px solid #bbb; padding: 0.2em 0.6em; }\n"
    "td.num { text-align: right; }\n"
    // A narrow window scrolls a wide table, not the page; the notes on a loss stay readable.
    "table { display: block; max-width: 100%; overflow-x: auto; }\n"
    "td.note { min-width: 16em; }\n"
    "pre { white-space: pre-wrap; overflow-wrap: anywhere; }\n"
    "</style>\n";

}  // namespace arena::tournament
