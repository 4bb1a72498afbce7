// Where a player runs and what it is called, from its command line alone. The rule, for every
// way of starting a player (`match`, `tournament`, `sprt`):
//
//   The player's main file is its program, unless the program is an interpreter (python,
//   python3, pypy3, node, ruby, perl, php, lua, bash, sh, java, ... with or without a version
//   number, found in PATH or given by its path): then it is the interpreter's first argument that
//   does not start with '-' and names an existing file (the script). The player runs in the
//   directory of its main file and is named after the main file, without the extension of a
//   script. An interpreter given no such file (`sh -c '...'`, `python3 -c '...'`) names no file
//   of the player's own: it runs in an empty scratch directory of its own, made for its game and
//   removed after it, never in the arena's working directory, which may hold the organiser's
//   notes and other entrants' files. A script argument that looks like a path (it holds a '/'
//   or ends in a script's extension) but names nothing is refused, naming it, rather than leave
//   the player to fail in that scratch directory.
//
// A command that starts with `env` (see env_command.h) is read from the program env starts on:
// `/usr/bin/env -i node sub/mybot.js` runs in sub/ as "mybot", and still starts env.
//
// So `python3 sub/mybot.py` and `/usr/bin/python3 sub/mybot.py` run in sub/ as "mybot",
// `sub/mybot` runs in sub/ as "mybot", and `build/bin/RandomBot` (a copy of the Java launcher)
// runs beside its class file. --cwd1/--cwd2 and --name1/--name2 choose otherwise.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "arena/system/scratch_dir.h"

namespace arena {

struct PlayerCommand {
  std::filesystem::path program;  // the executable, an absolute path
  // The command as it is started: as given, with the script's path made absolute (the player
  // runs in another directory) and the words of an `env -S` string as words of their own.
  std::vector<std::string> arguments;
  // The index in `arguments` of the script an interpreter runs, if it runs one; through `env`,
  // also of a program of the player's own that env starts (`env FOO=1 ./mybot`).
  std::optional<std::size_t> script;
  std::optional<std::filesystem::path> script_path;  // that script, an absolute path
  // Absolute; empty for a command that names no file of the player's own (see PlayerWorkdir).
  std::filesystem::path workdir;
  std::string name;  // the default display name, a valid player name
};

// How the arena finds a player's program: a sandboxed player's program named without a
// directory is looked up in the sandbox's PATH, the only one it has; with --no-sandbox, in the
// arena's own PATH.
enum class ProgramLookup { kSandbox, kArena };

// The one rule that turns a player's command into what is started, for every way of starting a
// player (`match`, `tournament`, `sprt`, --emit-jobs). Throws std::runtime_error with a readable
// message when the player cannot be started: its program is not found or not executable, its
// script cannot be read, or what looks like its script's path names nothing. (Whether the seat's
// user of a root arena can read them is checked with the sandbox, see sandbox_plan.h.)
PlayerCommand resolve_player(const std::vector<std::string>& command, ProgramLookup lookup);

// Where the player of one game runs: `chosen` (--cwd1/--cwd2) when given, else its entry's
// directory, else a fresh empty directory, removed with this object. That one is named like
// every arena scratch directory (sandbox::kScratchDirPrefix), so no other player's sandbox shows
// it, and may be entered by every user, so that a root arena's seat user runs in it.
class PlayerWorkdir {
 public:
  // Throws std::system_error when the scratch directory cannot be made.
  PlayerWorkdir(const PlayerCommand& entry, const std::filesystem::path& chosen);

  const std::filesystem::path& path() const { return path_; }

 private:
  std::unique_ptr<ScratchDir> scratch_;
  std::filesystem::path path_;
};

// True for the file name of a program that runs a script given as its argument.
bool is_interpreter(std::string_view file_name);

}  // namespace arena
