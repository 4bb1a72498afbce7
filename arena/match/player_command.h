// Where a player runs and what it is called, from its command line alone. The rule, for every
// way of starting a player (`match`, `tournament`, `sprt`):
//
//   The player's main file is its program, unless the program is an interpreter (python,
//   python3, pypy3, node, ruby, perl, php, lua, bash, sh, java, ... with or without a version
//   number, found in PATH or given by its path): then it is the interpreter's first argument that
//   does not start with '-' and names an existing file (the script). The player runs in the
//   directory of its main file and is named after the main file, without the extension of a
//   script. An interpreter given no such file runs in the arena's working directory.
//
// So `python3 sub/mybot.py` and `/usr/bin/python3 sub/mybot.py` run in sub/ as "mybot",
// `sub/mybot` runs in sub/ as "mybot", and `build/bin/RandomBot` (a copy of the Java launcher)
// runs beside its class file. --cwd1/--cwd2 and --name1/--name2 choose otherwise.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace arena {

struct PlayerCommand {
  std::filesystem::path program;  // the executable, an absolute path
  // The index in the command of the script an interpreter runs, if it runs one.
  std::optional<std::size_t> script;
  std::optional<std::filesystem::path> script_path;  // that script, an absolute path
  std::filesystem::path workdir;                     // absolute
  std::string name;  // the default display name, a valid player name
};

// How the arena finds a player's program: a sandboxed player's program named without a
// directory is looked up in the sandbox's PATH, the only one it has; with --no-sandbox, in the
// arena's own PATH.
enum class ProgramLookup { kSandbox, kArena };

// The one rule that turns a player's command into what is started, for every way of starting a
// player (`match`, `tournament`, `sprt`, --emit-jobs). Throws std::runtime_error with a readable
// message when the player cannot be started: its program is not found or not executable, or
// its script cannot be read. (Whether the seat's user of a root arena can read them is checked
// with the sandbox, see sandbox_plan.h.)
PlayerCommand resolve_player(const std::vector<std::string>& command, ProgramLookup lookup);

// True for the file name of a program that runs a script given as its argument.
bool is_interpreter(std::string_view file_name);

}  // namespace arena
