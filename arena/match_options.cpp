#include "arena/match_options.h"

#include <array>
#include <filesystem>

namespace arena {
namespace {

constexpr std::size_t kLabelWidth = 30;
constexpr std::size_t kHelpWidth = 96;

const std::array kOptions = {
    MatchOption{"--name1", "--name1 NAME, --name2 NAME",
                "display names: 1 to 32 letters, digits or '_' (default: the file name of the "
                "program, or of the script an interpreter runs, other characters turned into '_')",
                true, false, [](MatchConfig& c, const std::string& v) { c.players[0].name = v; }},
    MatchOption{"--name2", "", "", true, false,
                [](MatchConfig& c, const std::string& v) { c.players[1].name = v; }},
    MatchOption{"--cwd1", "--cwd1 DIR, --cwd2 DIR",
                "a player's working directory (default: the directory of its program, or of the "
                "script an interpreter runs)",
                true, false,
                [](MatchConfig& c, const std::string& v) { c.players[0].workdir = v; }},
    MatchOption{"--cwd2", "", "", true, false,
                [](MatchConfig& c, const std::string& v) { c.players[1].workdir = v; }},
    MatchOption{"--dir", "--dir DIR",
                "output directory; log, page and error files go to DIR/refereelogs/ as "
                "<name1>-<name2>.<id>.log and .html (default: .)",
                true, false, [](MatchConfig& c, const std::string& v) { c.out_dir = v; }},
    MatchOption{"--id", "--id ID",
                "game id: 1 to 40 letters, digits, '_' or '-' (default: date, time and process "
                "id)",
                true, false, [](MatchConfig& c, const std::string& v) { c.game_id = v; }},
    MatchOption{"--time-limit", "--time-limit TIME",
                "thinking time of each player for the whole game (default: 10); seconds (2.5) "
                "or milliseconds (500ms)",
                false, false,
                [](MatchConfig& c, const std::string& v) { c.time_limit = parse_duration(v); }},
    MatchOption{
        "--memory-limit", "--memory-limit MB", "address-space limit of each player (default: none)",
        false, false,
        [](MatchConfig& c, const std::string& v) { c.memory_limit_mb = parse_megabytes(v); }},
    MatchOption{"--file-limit", "--file-limit MB",
                "largest file a player may write, its error file included (64)", false, false,
                [](MatchConfig& c, const std::string& v) { c.file_limit_mb = parse_megabytes(v); }},
    MatchOption{"--tiles", "--tiles FILE", "tile script, given to the referee as tiles.txt", true,
                true, [](MatchConfig& c, const std::string& v) { c.tiles = v; }},
    MatchOption{"--referee", "--referee PROGRAM",
                "the referee (default: zarvo-checker beside zarvo-arena)", false, true,
                [](MatchConfig& c, const std::string& v) { c.referee = v; }},
    MatchOption{"--resources", "--resources DIR",
                "the viewer files (zarvo.js, zarvo.css), copied into resources/ of the output "
                "directory for its pages (default: resources/ beside zarvo-arena, else "
                "../share/zarvo/resources/ from there)",
                false, true, [](MatchConfig& c, const std::string& v) { c.resources = v; }},
    MatchOption{"--grace", "--grace TIME",
                "how long players may take to end after the game (default: 1)", false, false,
                [](MatchConfig& c, const std::string& v) { c.grace = parse_duration(v); }},
    MatchOption{"--game-timeout", "--game-timeout TIME",
                "longest a game may take before the referee counts as failed (default: twice the "
                "time limit plus 60 seconds)",
                false, false,
                [](MatchConfig& c, const std::string& v) { c.game_timeout = parse_duration(v); }},
};

// `text` broken into lines of at most `width` characters at blanks.
std::vector<std::string> wrap(std::string_view text, std::size_t width) {
  std::vector<std::string> lines;
  std::string line;
  while (!text.empty()) {
    auto blank = text.find(' ');
    std::string_view word = text.substr(0, blank);
    text = blank == std::string_view::npos ? std::string_view() : text.substr(blank + 1);
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      lines.push_back(std::move(line));
      line.clear();
    }
    if (!line.empty()) line += ' ';
    line += word;
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

}  // namespace

std::span<const MatchOption> match_options() { return kOptions; }

std::string match_options_help(bool forwarded_only) {
  std::string help;
  for (const MatchOption& option : kOptions) {
    if (option.label.empty() || (forwarded_only && option.per_game)) continue;
    std::string label = "  " + std::string(option.label);
    // Two blanks at least between an option and its text, else the text starts a line below.
    if (label.size() + 2 <= kLabelWidth) {
      label.resize(kLabelWidth, ' ');
    } else {
      label += "\n" + std::string(kLabelWidth, ' ');
    }
    bool first = true;
    for (const std::string& line : wrap(option.help, kHelpWidth - kLabelWidth)) {
      help += (first ? label : std::string(kLabelWidth, ' ')) + line + "\n";
      first = false;
    }
  }
  return help;
}

OptionSetters match_option_setters(MatchConfig& config) {
  OptionSetters setters;
  for (const MatchOption& option : kOptions) {
    setters.emplace(std::string(option.name),
                    [&config, &option](const std::string& value) { option.apply(config, value); });
  }
  return setters;
}

OptionSetters forwarded_option_setters(std::vector<std::string>& forwarded) {
  OptionSetters setters;
  for (const MatchOption& option : kOptions) {
    if (option.per_game) continue;
    setters.emplace(std::string(option.name), [&forwarded, &option](const std::string& value) {
      MatchConfig scratch;
      option.apply(scratch, value);
      forwarded.push_back(std::string(option.name));
      // The games may run in another directory, or on another host.
      forwarded.push_back(option.path ? std::filesystem::absolute(value).string() : value);
    });
  }
  return setters;
}

}  // namespace arena
