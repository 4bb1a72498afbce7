#include "arena/tournament/match_option_forwarding.h"

#include <filesystem>

namespace arena::tournament {

void add_match_option_setters(OptionSetters& setters, std::vector<std::string>& match_options) {
  auto forward = [&match_options](const std::string& name, const std::string& value) {
    match_options.push_back(name);
    match_options.push_back(value);
  };
  setters["--time-limit"] = [=](const std::string& v) {
    parse_duration(v);
    forward("--time-limit", v);
  };
  setters["--grace"] = [=](const std::string& v) {
    parse_duration(v);
    forward("--grace", v);
  };
  setters["--game-timeout"] = [=](const std::string& v) {
    parse_duration(v);
    forward("--game-timeout", v);
  };
  setters["--memory-limit"] = [=](const std::string& v) {
    parse_megabytes(v);
    forward("--memory-limit", v);
  };
  setters["--file-limit"] = [=](const std::string& v) {
    parse_megabytes(v);
    forward("--file-limit", v);
  };
  // Paths are made absolute: the games may run in another directory, or on another host.
  setters["--referee"] = [=](const std::string& v) {
    forward("--referee", std::filesystem::absolute(v).string());
  };
  setters["--resources"] = [=](const std::string& v) {
    forward("--resources", std::filesystem::absolute(v).string());
  };
}

}  // namespace arena::tournament
