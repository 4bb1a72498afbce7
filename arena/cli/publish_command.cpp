#include "arena/cli/publish_command.h"

#include <iostream>

#include "arena/cli/option_values.h"
#include "arena/series/plan_file.h"
#include "arena/tournament/published_site.h"

namespace arena::tournament {
namespace fs = std::filesystem;

namespace {

const char* const kPublishUsage = R"(usage: zarvo-arena publish [options] DIR OUT

Writes into OUT a static site of the tournament (or sprt test) in DIR, for the contestants: the
standings, the crosstable, a page per entrant, every replay page with its viewer files,
standings.json and the run's settings (dates, time control, seed, games per pair, the players'
limits). It holds no error file, no game log and no path of this machine; it works from file://
and behind any static web server.

Options:
  --title TEXT     the site's title (Zarvo tournament)
  --private PDIR   also write PDIR/NAME/ per entrant, holding that entrant's own error files,
                   for the organiser to send to each entrant alone
  --exclude NAME   leave a withdrawn entrant out of the tables (its games stay in DIR);
                   repeatable
)";

}  // namespace

int run_publish_command(std::span<const std::string> args) {
  if (asks_for_help(args)) {
    std::cout << kPublishUsage;
    return 0;
  }
  PublishOptions options;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string name = arg, value;
    bool has_value = false;
    if (auto equals = arg.find('='); arg.starts_with("--") && equals != std::string::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
      has_value = true;
    }
    if (name == "--title" || name == "--private" || name == "--exclude") {
      if (!has_value) {
        if (i + 1 == args.size()) return usage_error("publish", name + " needs a value");
        value = args[++i];
      }
      if (value.empty()) return usage_error("publish", name + " needs a value");
      if (name == "--title") options.title = value;
      if (name == "--private") options.private_dir = fs::absolute(value);
      if (name == "--exclude") options.excluded.push_back(value);
    } else if (arg.starts_with("--")) {
      return usage_error("publish", "unknown option " + arg);
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2) return usage_error("publish", "give DIR and OUT");
  fs::path dir = run_directory(positional[0]);
  fs::path out = run_directory(positional[1]);
  if (out == dir) return usage_error("publish", "OUT must be another directory than DIR");
  if (options.private_dir && (options.private_dir->string().starts_with(out.string() + "/") ||
                              *options.private_dir == out)) {
    return usage_error("publish", "the private folders must lie outside OUT");
  }
  try {
    PublishSummary summary = publish_site(dir, out, options);
    std::cout << "published " << summary.games << " games (" << summary.replays
              << " replay pages) to " << (out / "index.html").string() << "\n";
    if (options.private_dir) {
      std::cout << "copied " << summary.private_files << " error files into "
                << options.private_dir->string() << "/NAME/, one folder per entrant\n";
    }
  } catch (const std::exception& error) {
    std::cerr << "zarvo-arena publish: " << error.what() << "\n";
    return 2;
  }
  return 0;
}

}  // namespace arena::tournament
