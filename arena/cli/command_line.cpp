// The one translation unit that includes CLI11, a heavy header: every command's parse goes
// through CommandLine::parse() here.
#include "arena/cli/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <map>
#include <thread>

#include "arena/match/match_options.h"
#include "arena/match/option_values.h"

namespace arena::cli {
namespace {

constexpr int kMaxConcurrency = 1024;

// CLI11 reads "--name=" as "--name" and takes the next word as its value, and lets a flag take
// "--flag=true": both are refused here, before it sees them. As CLI11 does, the word after an
// option that takes a value is that value, whatever it looks like.
template <typename Find>
void refuse_glued_values(std::span<const std::string> args, const Find& find) {
  for (std::size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
    const std::string& arg = args[i];
    if (!arg.starts_with("--")) continue;
    auto equals = arg.find('=');
    const auto* entry = find(arg.substr(0, equals));
    if (entry == nullptr) continue;
    if (equals == std::string::npos) {
      if (!entry->flag) ++i;
    } else if (entry->flag) {
      throw UsageError(entry->name + " takes no value");
    } else if (equals + 1 == arg.size()) {
      throw UsageError(entry->name + " needs a value");
    }
  }
}

}  // namespace

void CommandLine::option(std::string_view name, Setter set) {
  entries_.push_back({std::string(name), std::move(set), false});
}

void CommandLine::flag(std::string_view name, std::function<void()> set) {
  entries_.push_back(
      {std::string(name), [set = std::move(set)](const std::string&) { set(); }, true});
}

void CommandLine::positionals(std::vector<std::string>& into) { positionals_ = &into; }

void CommandLine::parse(std::span<const std::string> args) const {
  refuse_glued_values(args, [this](std::string_view name) -> const Entry* {
    auto found = std::find_if(entries_.begin(), entries_.end(),
                              [name](const Entry& entry) { return entry.name == name; });
    return found == entries_.end() ? nullptr : &*found;
  });

  CLI::App app;
  app.set_help_flag();  // each command prints its own --help (asks_for_help)
  app.allow_extras();   // unknown options and positionals come back in remaining(), for our words
  std::map<const CLI::Option*, const Entry*> entry_of;
  for (const Entry& entry : entries_) {
    CLI::Option* option =
        entry.flag ? app.add_flag(entry.name)->disable_flag_override() : app.add_option(entry.name);
    option->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    entry_of[option] = &entry;
  }
  std::vector<std::string> reversed(args.rbegin(), args.rend());  // as CLI11 takes them
  try {
    app.parse(reversed);
  } catch (const CLI::ArgumentMismatch&) {
    // Any word after an option is its value, so only an option that ends the line lacks one.
    throw UsageError(args.back() + " needs a value");
  } catch (const CLI::Error& error) {
    throw UsageError(error.what());
  }

  // The words no option took, in order; the first "--" among them is the end of the options.
  std::vector<std::string> positional;
  bool options_done = false;
  for (const std::string& word : app.remaining()) {
    if (word == "--" && !options_done) {
      options_done = true;
    } else if (!options_done && word.size() > 1 && word.starts_with("-")) {
      throw UsageError("unknown option " + word.substr(0, word.find('=')));
    } else if (positionals_ == nullptr) {
      throw UsageError("unknown argument \"" + word + "\"");
    } else {
      positional.push_back(word);
    }
  }

  std::map<const CLI::Option*, std::size_t> taken;
  for (const CLI::Option* option : app.parse_order()) {
    const Entry& entry = *entry_of.at(option);
    try {
      entry.set(option->results().at(taken[option]++));
    } catch (const std::exception& error) {
      throw UsageError(entry.name + ": " + error.what());
    }
  }
  if (positionals_ != nullptr) {
    positionals_->insert(positionals_->end(), positional.begin(), positional.end());
  }
}

namespace {

// Each option of the table (only those a tournament hands to its games, if so asked) given to
// `line`, its value handed to `take` with the option.
template <typename Take>
void add_table_options(CommandLine& line, bool forwarded_only, Take take) {
  for (const MatchOption& option : match_options()) {
    if (forwarded_only && option.per_game) continue;
    if (option.flag) {
      line.flag(option.name, [take, &option] { take(option, ""); });
    } else {
      line.option(option.name, [take, &option](const std::string& value) { take(option, value); });
    }
  }
}

}  // namespace

void add_match_options(CommandLine& line, MatchConfig& config, bool forwarded_only) {
  add_table_options(line, forwarded_only,
                    [&config](const MatchOption& option, const std::string& value) {
                      option.apply(config, value);
                    });
}

void add_forwarded_match_options(CommandLine& line, std::vector<std::string>& forwarded) {
  add_table_options(line, true, [&forwarded](const MatchOption& option, const std::string& value) {
    forward_match_option(option, value, forwarded);
  });
}

void add_concurrency_option(CommandLine& line, int& concurrency) {
  // Without the option, a game for each core.
  concurrency = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  line.option("--concurrency", [&concurrency](const std::string& value) {
    concurrency = static_cast<int>(parse_whole(value, 1, kMaxConcurrency));
  });
}

bool asks_for_help(std::span<const std::string> args) {
  return std::any_of(args.begin(), args.end(),
                     [](const std::string& arg) { return arg == "--help" || arg == "-h"; });
}

int usage_error(std::string_view command, std::string_view message) {
  std::cerr << "zarvo-arena " << command << ": " << message << "\n(see zarvo-arena " << command
            << " --help)" << std::endl;
  return 2;
}

}  // namespace arena::cli
