#include "arena/match/match_options.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <stdexcept>

#include "arena/match/option_values.h"

namespace arena {
namespace {

constexpr std::size_t kLabelWidth = 30;
static_assert(sandbox::kDefaultProcessLimit == 128, "--process-limit's help names it");
static_assert(sandbox::kDefaultMemoryLimitMb == 1024, "--memory-limit's help names it");
static_assert(sandbox::UserRange{} == sandbox::UserRange{60100, 60999},
              "--user-range's help names it");

TimeClock parse_clock(const std::string& text) {
  if (text == "wall") return TimeClock::kWall;
  if (text == "cpu") return TimeClock::kCpu;
  throw std::invalid_argument("\"" + text + "\" is neither wall nor cpu");
}

// NAME=VALUE, NAME made of letters, digits and '_', not starting with a digit.
std::pair<std::string, std::string> parse_env(const std::string& text) {
  auto equals = text.find('=');
  std::string name = text.substr(0, equals);
  bool good =
      equals != std::string::npos && !name.empty() &&
      name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_") ==
          std::string::npos &&
      !(name[0] >= '0' && name[0] <= '9');
  if (!good) throw std::invalid_argument("not NAME=VALUE: \"" + text + "\"");
  return {name, text.substr(equals + 1)};
}
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
    MatchOption{"--move-limit", "--move-limit TIME",
                "longest a single answer may take, of thinking time; a longer one is a TIMEOUT "
                "(default: none, only the game's budget)",
                false, false,
                [](MatchConfig& c, const std::string& v) { c.move_limit = parse_duration(v); }},
    MatchOption{"--increment", "--increment TIME",
                "added to a player's remaining budget after each of its answers, as on a Fischer "
                "clock (default: 0)",
                false, false,
                [](MatchConfig& c, const std::string& v) { c.increment = parse_duration(v); }},
    MatchOption{"--memory-limit", "--memory-limit MB",
                "resident memory of each player's whole process tree, its files in the sandbox's "
                "scratch areas included; going past it counts as a crash; 0: none (default: 1024 "
                "where control groups hold it). Without a sandbox, or where the arena may not make "
                "control groups, the address space of each process of the player instead, and none "
                "unless given",
                false, false,
                [](MatchConfig& c, const std::string& v) {
                  c.memory_limit_mb = v == "0" ? 0 : parse_megabytes(v);
                }},
    MatchOption{
        "--process-limit", "--process-limit N",
        "processes and threads of each sandboxed player's whole process tree (default: 128)", false,
        false,
        [](MatchConfig& c, const std::string& v) {
          c.process_limit = parse_whole(v, 1, kMaxProcessLimit);
        }},
    MatchOption{
        "--user-range", "--user-range FIRST-LAST",
        "as root, the uids sandboxed players run as, each seat of each game one of its own "
        "for as long as its sandbox lives, none in /etc/passwd or /etc/group, none taken "
        "by another sandbox of the host (default: 60100-60999)",
        false, false,
        [](MatchConfig& c, const std::string& v) { c.user_range = sandbox::parse_user_range(v); }},
    MatchOption{"--clock", "--clock wall|cpu",
                "what the time limit counts: wall, a player's thinking time (from the last line "
                "it was sent to its answer), or cpu, the CPU time of its whole process tree "
                "(default: wall)",
                false, false,
                [](MatchConfig& c, const std::string& v) { c.clock = parse_clock(v); }},
    MatchOption{"--wall-limit", "--wall-limit TIME",
                "with --clock cpu, the thinking time a player may take over the game (default: "
                "three times the time limit plus 10 seconds)",
                false, false,
                [](MatchConfig& c, const std::string& v) { c.wall_limit = parse_duration(v); }},
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
                "time limit, with --clock cpu the wall limit, plus 60 seconds)",
                false, false,
                [](MatchConfig& c, const std::string& v) { c.game_timeout = parse_duration(v); }},
    MatchOption{"--no-sandbox", "--no-sandbox",
                "run the players as plain processes, for debugging: they can then see and signal "
                "other processes, read what the arena's user may read and use the network "
                "(default: each player in a sandbox of its own; zarvo-arena check-sandbox tells "
                "what it holds here)",
                false, false, [](MatchConfig& c, const std::string&) { c.sandbox = false; }, true},
    MatchOption{"--no-syscall-filter", "--no-syscall-filter",
                "let sandboxed players make every system call, for debugging (default: the "
                "kernel's dangerous and rarely used calls answer EPERM; zarvo-arena "
                "check-sandbox lists them)",
                false, false, [](MatchConfig& c, const std::string&) { c.syscall_filter = false; },
                true},
    MatchOption{"--env", "--env NAME=VALUE",
                "set NAME in a sandboxed player's environment (repeatable), which holds only PATH, "
                "HOME, LANG, PWD and these; without a sandbox a player gets the arena's own",
                false, false,
                [](MatchConfig& c, const std::string& v) { c.env.push_back(parse_env(v)); }},
    MatchOption{"--ro-dir", "--ro-dir DIR",
                "show DIR, read-only at its own path, in the players' sandboxes (repeatable)",
                false, true,
                [](MatchConfig& c,
                   const std::string& v) { c.ro_dirs.push_back(std::filesystem::absolute(v)); }},
    MatchOption{"--transcript", "--transcript",
                "write every line each player received and sent, with the seconds since the start, "
                "beside the log into <game>.transcript.txt",
                false, false, [](MatchConfig& c, const std::string&) { c.transcript = true; },
                true},
    MatchOption{"--keep-player-files", "--keep-player-files",
                "copy the files each sandboxed player wrote in its working directory, which vanish "
                "with its sandbox, beside the log into <game>.player1.files/ (player2); at most "
                "64 MB each (default: the arena names them after the game)",
                false, false,
                [](MatchConfig& c, const std::string&) { c.keep_player_files = true; }, true},
    MatchOption{"--quiet", "--quiet",
                "where the sandbox has known limits here (zarvo-arena check-sandbox lists them), "
                "name them in one line instead of a warning each (a tournament's games are "
                "always quiet)",
                true, false, [](MatchConfig& c, const std::string&) { c.quiet = true; }, true},
    MatchOption{"--ponder", "--ponder",
                "let players think while the opponent does (default: a sandboxed player's whole "
                "process tree is frozen from its answer until its next line)",
                false, false, [](MatchConfig& c, const std::string&) { c.ponder = true; }, true},
    MatchOption{
        "--entrant-dir", "--entrant-dir DIR",
        "a directory of another entrant of the run (its program's, its script's or its "
        "working directory), hidden from both players wherever it lies (repeatable; a "
        "tournament passes every entrant's)",
        true, true,
        [](MatchConfig& c,
           const std::string& v) { c.entrant_dirs.push_back(std::filesystem::absolute(v)); }},
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

const MatchOption* find_match_option(std::string_view name) {
  auto found = std::find_if(kOptions.begin(), kOptions.end(),
                            [name](const MatchOption& option) { return option.name == name; });
  return found == kOptions.end() ? nullptr : &*found;
}

void forward_match_option(const MatchOption& option, const std::string& value,
                          std::vector<std::string>& forwarded) {
  MatchConfig scratch;
  option.apply(scratch, value);
  forwarded.push_back(std::string(option.name));
  if (option.flag) return;
  // The games may run in another directory, or on another host.
  forwarded.push_back(option.path ? std::filesystem::absolute(value).string() : value);
}

}  // namespace arena
