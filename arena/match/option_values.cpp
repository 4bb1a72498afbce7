#include "arena/match/option_values.h"

#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string>

namespace arena {
namespace {

// `text` read whole as a T by std::from_chars, which takes no blanks and no '+'.
template <typename T>
bool reads_whole(std::string_view text, T& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

}  // namespace

Clock::duration parse_duration(std::string_view text) {
  std::string_view number = text;
  double scale = 1.0;
  if (number.ends_with("ms")) {
    number.remove_suffix(2);
    scale = 0.001;
  } else if (number.ends_with("s")) {
    number.remove_suffix(1);
  }
  double value = 0;
  if (!reads_whole(number, value) || !std::isfinite(value) || value <= 0 ||
      value * scale > 86400.0 * 365) {
    throw std::invalid_argument(
        "not a positive duration: \"" + std::string(text) +
        "\" (write seconds such as 10 or 2.5, or milliseconds such as 500ms)");
  }
  return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(value * scale));
}

std::size_t parse_megabytes(std::string_view text) {
  std::size_t value = 0;
  if (!reads_whole(text, value) || value == 0 || value > (std::size_t{1} << 30)) {
    throw std::invalid_argument("not a positive number of megabytes: \"" + std::string(text) +
                                "\"");
  }
  return value;
}

long long parse_whole(std::string_view text, long long low, long long high) {
  long long value = 0;
  if (!reads_whole(text, value) || value < low || value > high) {
    throw std::invalid_argument("\"" + std::string(text) + "\" is not a whole number from " +
                                std::to_string(low) + " to " + std::to_string(high));
  }
  return value;
}

double parse_number(std::string_view text) {
  double value = 0;
  if (!reads_whole(text, value) || !std::isfinite(value)) {
    throw std::invalid_argument("\"" + std::string(text) + "\" is not a number");
  }
  return value;
}

}  // namespace arena
