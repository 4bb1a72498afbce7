// The command lines of zarvo-arena's commands, all read one way: "--name VALUE" or
// "--name=VALUE", flags without a value, options repeatable, other arguments positional, "--"
// ending the options. A command lists what it takes; parse() splits the words and hands each
// value to its setter in the order given, and every mistake comes back as a UsageError worded
// alike by every command. The splitting itself is CLI11's, kept inside command_line.cpp.
#pragma once

#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "arena/match/match.h"

namespace arena::cli {

// A command line that cannot be run, with the reason for the user.
struct UsageError : std::invalid_argument {
  using std::invalid_argument::invalid_argument;
};

class CommandLine {
 public:
  using Setter = std::function<void(const std::string& value)>;

  // "--name VALUE": `set` checks the value and keeps it, throwing std::invalid_argument.
  void option(std::string_view name, Setter set);
  // "--name", no value.
  void flag(std::string_view name, std::function<void()> set);
  // The arguments that are no option go to `into`; without this they are refused.
  void positionals(std::vector<std::string>& into);

  // Throws UsageError: "unknown option --bogus", "--dir needs a value", "--max-pairs: ..." with
  // what the setter threw.
  void parse(std::span<const std::string> args) const;

 private:
  struct Entry {
    std::string name;
    Setter set;
    bool flag = false;
  };
  std::vector<Entry> entries_;
  std::vector<std::string>* positionals_ = nullptr;
};

// The options of a game, from arena/match/match_options.h, read into `config`: all of them, or
// only those a tournament hands to its games.
void add_match_options(CommandLine& line, MatchConfig& config, bool forwarded_only);

// The options a tournament hands to its games, checked and appended to `forwarded` as each game
// is to be given them.
void add_forwarded_match_options(CommandLine& line, std::vector<std::string>& forwarded);

// --concurrency J of the commands that play many games: games at once, from 1 to 1024.
void add_concurrency_option(CommandLine& line, int& concurrency);

// True when `args` hold --help or -h anywhere: the command then prints its usage and nothing
// else.
bool asks_for_help(std::span<const std::string> args);

// Writes "zarvo-arena COMMAND: MESSAGE" and a pointer to the command's --help to standard
// error; returns 2, the exit status of a bad command line.
int usage_error(std::string_view command, std::string_view message);

}  // namespace arena::cli
