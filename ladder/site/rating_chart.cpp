#include "ladder/site/rating_chart.h"

#include <algorithm>

#include "ladder/site/site_html.h"

namespace ladder::site {

std::string rating_chart(const nlohmann::json& history) {
  if (!history.is_array() || history.size() < 2) return "";
  constexpr double kWidth = 240, kHeight = 60, kLeft = 40;
  double t0 = history.front()[0].get<double>(), t1 = history.back()[0].get<double>();
  double low = history[0][1].get<double>(), high = low;
  for (const auto& point : history) {
    low = std::min(low, point[1].get<double>());
    high = std::max(high, point[1].get<double>());
  }
  double span_t = std::max(t1 - t0, 1.0), span_r = std::max(high - low, 1.0);
  std::string points;
  for (const auto& point : history) {
    double x = kLeft + (point[0].get<double>() - t0) / span_t * (kWidth - kLeft - 4);
    double y = 4 + (high - point[1].get<double>()) / span_r * (kHeight - 8);
    points += fixed(x, 1) + "," + fixed(y, 1) + " ";
  }
  return "<svg class=\"chart\" width=\"240\" height=\"60\" viewBox=\"0 0 240 60\" role=\"img\""
         " aria-label=\"rating history\"><text x=\"0\" y=\"12\" font-size=\"10\">" +
         fixed(high, 0) + "</text><text x=\"0\" y=\"58\" font-size=\"10\">" + fixed(low, 0) +
         "</text><polyline fill=\"none\" stroke=\"#2a6\" stroke-width=\"1.5\" points=\"" + points +
         "\"/></svg>";
}

}  // namespace ladder::site
