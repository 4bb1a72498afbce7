#include "players/bot_arguments.h"

#include <charconv>
#include <cstdio>
#include <string>

BotArguments read_bot_arguments(int argc, char** argv) {
  BotArguments arguments;
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (word == "--help" || word == "-h") {
      arguments.help = true;
    } else if (word == "--seed" && i + 1 < argc) {
      const std::string_view value = argv[++i];
      std::uint64_t seed = 0;
      auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seed);
      if (error == std::errc() && end == value.data() + value.size() && !value.empty()) {
        arguments.seed = seed;
      } else {
        arguments.bad_seed = value;
      }
    }
  }
  return arguments;
}

std::optional<int> answer_bot_arguments(const BotArguments& arguments, std::string_view usage) {
  if (arguments.help) {
    std::fwrite(usage.data(), 1, usage.size(), stdout);
    std::fflush(stdout);
    return 0;
  }
  if (arguments.bad_seed) {
    const std::string message =
        "--seed takes a whole number from 0 to 18446744073709551615, not \"" +
        std::string(*arguments.bad_seed) + "\"\n";
    std::fwrite(message.data(), 1, message.size(), stderr);
    std::fflush(stderr);
    return 2;
  }
  return std::nullopt;
}
