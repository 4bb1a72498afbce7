// The sample bots' command line: "--seed N" makes a bot play the same game again, "--help"
// prints its usage. A bot should never die of a word it was given: other arguments are
// ignored, and a seed that is no number is named on standard error.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// What the command line asks of a bot.
struct BotArguments {
  bool help = false;
  std::optional<std::uint64_t> seed;
  std::optional<std::string_view> bad_seed;  // the word given after --seed, if no number
};

BotArguments read_bot_arguments(int argc, char** argv);

// Handles --help (the usage on standard output) and a bad seed (on standard error); returns the
// exit status when the bot is to end without playing.
std::optional<int> answer_bot_arguments(const BotArguments& arguments, std::string_view usage);
