#include "arena/cli/option_values.h"

#include <charconv>
#include <cmath>
#include <iostream>
#include <stdexcept>
#include <string>

namespace arena {

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
  auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (number.empty() || error != std::errc() || end != number.data() + number.size() ||
      !std::isfinite(value) || value <= 0 || value * scale > 86400.0 * 365) {
    throw std::invalid_argument(
        "not a positive duration: \"" + std::string(text) +
        "\" (write seconds such as 10 or 2.5, or milliseconds such as 500ms)");
  }
  return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(value * scale));
}

std::size_t parse_megabytes(std::string_view text) {
  std::size_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value == 0 ||
      value > (std::size_t{1} << 30)) {
    throw std::invalid_argument("not a positive number of megabytes: \"" + std::string(text) +
                                "\"");
  }
  return value;
}

void parse_options(std::span<const std::string> args, const OptionSetters& setters,
                   std::vector<std::string>* positional) {
  bool options_done = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_done || !arg.starts_with("--")) {
      if (positional == nullptr) throw std::invalid_argument("unknown argument \"" + arg + "\"");
      positional->push_back(arg);
      continue;
    }
    if (arg == "--" && positional != nullptr) {
      options_done = true;
      continue;
    }
    auto equals = arg.find('=');
    std::string name = arg.substr(0, equals);
    auto setter = setters.find(name);
    if (setter == setters.end()) throw std::invalid_argument("unknown option " + name);
    std::string value;
    if (setter->second.flag) {
      if (equals != std::string::npos) throw std::invalid_argument(name + " takes no value");
    } else if (equals != std::string::npos) {
      value = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      throw std::invalid_argument("option " + name + " needs a value");
    }
    try {
      setter->second(value);
    } catch (const std::exception& error) {
      throw std::invalid_argument(name + ": " + error.what());
    }
  }
}

bool asks_for_help(std::span<const std::string> args) {
  for (const auto& arg : args) {
    if (arg == "--help" || arg == "-h") return true;
  }
  return false;
}

int usage_error(std::string_view command, std::string_view message) {
  std::cerr << "zarvo-arena " << command << ": " << message << "\n(see zarvo-arena " << command
            << " --help)" << std::endl;
  return 2;
}

}  // namespace arena
