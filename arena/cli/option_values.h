// The values the arena's options take: durations and sizes, read strictly (no trailing junk,
// no negative or zero values) so that a typo is an error instead of a surprise.
#pragma once

#include <concepts>
#include <cstddef>
#include <functional>
#include <map>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "arena/system/deadline.h"

namespace arena {

// Seconds, possibly with a fraction ("10", "2.5", "10s"), or milliseconds ("500ms"); above 0.
// Throws std::invalid_argument.
Clock::duration parse_duration(std::string_view text);

// A whole positive number of megabytes. Throws std::invalid_argument.
std::size_t parse_megabytes(std::string_view text);

// What an option does with its value. A flag ("--no-sandbox") takes no value; its setter is
// called with "".
struct OptionSetter {
  template <typename F>
  requires(!std::same_as<std::decay_t<F>, OptionSetter> &&
           std::is_invocable_v<F, const std::string&>) OptionSetter(F set, bool is_flag = false)
      : apply(std::move(set)), flag(is_flag) {}
  void operator()(const std::string& value) const { apply(value); }

  std::function<void(const std::string&)> apply;
  bool flag = false;
};

// The options of a command, "--name VALUE" or "--name=VALUE" (a flag: "--name"), each handled by
// its setter.
using OptionSetters = std::map<std::string, OptionSetter, std::less<>>;

// Walks `args`, handing every option's value to its setter. Other arguments, and everything
// after "--", are collected into `positional`; without it they are refused. Throws
// std::invalid_argument naming the option, also for an exception a setter throws.
void parse_options(std::span<const std::string> args, const OptionSetters& setters,
                   std::vector<std::string>* positional = nullptr);

// A command line that cannot be run, with the reason for the user.
struct UsageError : std::invalid_argument {
  using std::invalid_argument::invalid_argument;
};

// True when `args` hold --help or -h anywhere: the command then prints its usage and nothing
// else.
bool asks_for_help(std::span<const std::string> args);

// Writes "zarvo-arena COMMAND: MESSAGE" and a pointer to the command's --help to standard
// error; returns 2, the exit status of a bad command line.
int usage_error(std::string_view command, std::string_view message);

}  // namespace arena
