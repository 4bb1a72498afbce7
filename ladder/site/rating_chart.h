// A version's rating history as a small inline SVG line chart, with its lowest and highest
// rating as labels; no script, no outside file.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace ladder::site {

// `history`: [[time, rating], ...] oldest first. Empty text for fewer than two points.
std::string rating_chart(const nlohmann::json& history);

}  // namespace ladder::site
