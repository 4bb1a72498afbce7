#include "arena/cli/publish_command.h"

#include <iostream>

#include "arena/cli/command_line.h"
#include "arena/series/plan_file.h"
#include "arena/tournament/published_site.h"

namespace arena::cli {
using namespace arena::series;
using namespace arena::tournament;
namespace fs = std::filesystem;

namespace {

const char* const kPublishUsage = R"(usage: zarvo-arena publish [options] DIR OUT

Writes into OUT a static site of the tournament (or sprt test) in DIR, for the contestants: the
standings, the crosstable, a page per entrant, every replay page with its viewer files,
standings.json and the run's settings (dates, time control, seed, games per pair, the players'
limits). Each replay page has its turn record (thinking times, disqualifications, stand-in
moves), each entrant's page the arena's explanation of every disqualification, and entries whose
build failed are listed as not built. It holds no error file, no game log, nobody's standard
error and no path of this machine; it works from file:// and behind any static web server.

Options:
  --title TEXT     the site's title (Zarvo tournament)
  --private PDIR   also write PDIR/NAME/ per entrant, holding that entrant's own error files,
                   its turn records with its own standard error, its disqualifications' notes
                   in full and, when it did not build, its build log, for the organiser to send
                   to each entrant alone
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
  try {
    // Each names something: an empty value is a mistake.
    auto given = [](const std::string& value) {
      if (value.empty()) throw std::invalid_argument("give a value that is not empty");
      return value;
    };
    CommandLine line;
    line.option("--title", [&](const std::string& v) { options.title = given(v); });
    line.option("--private",
                [&](const std::string& v) { options.private_dir = fs::absolute(given(v)); });
    line.option("--exclude", [&](const std::string& v) { options.excluded.push_back(given(v)); });
    line.positionals(positional);
    line.parse(args);
    if (positional.size() != 2) throw UsageError("give DIR and OUT");
  } catch (const UsageError& error) {
    return usage_error("publish", error.what());
  }
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
      std::cout << "copied " << summary.private_files << " error files and build logs into "
                << options.private_dir->string() << "/NAME/, one folder per entrant\n";
    }
  } catch (const std::exception& error) {
    std::cerr << "zarvo-arena publish: " << error.what() << "\n";
    return 2;
  }
  return 0;
}

}  // namespace arena::cli
