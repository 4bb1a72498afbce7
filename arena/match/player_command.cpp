#include "arena/match/player_command.h"

#include <unistd.h>

#include <array>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include "arena/game/game_names.h"
#include "arena/process/program_path.h"
#include "arena/sandbox/bwrap_command.h"

namespace arena {
namespace fs = std::filesystem;

bool is_interpreter(std::string_view file_name) {
  static constexpr std::array<std::string_view, 16> kInterpreters = {
      "python", "pypy", "node", "nodejs", "ruby",    "perl",  "php",  "lua",
      "luajit", "bash", "sh",   "dash",   "Rscript", "julia", "java", "tclsh"};
  // "python3", "python3.11", "lua5.4": the version is not part of the name.
  while (!file_name.empty() &&
         (std::isdigit(static_cast<unsigned char>(file_name.back())) || file_name.back() == '.')) {
    file_name.remove_suffix(1);
  }
  for (std::string_view name : kInterpreters) {
    if (file_name == name) return true;
  }
  return false;
}

// A script run as its own program (`v1/mybot.py`, through its #! line) is named without its
// extension, as it is when an interpreter runs it.
bool is_script_extension(std::string_view extension) {
  static constexpr std::array<std::string_view, 12> kExtensions = {
      ".py", ".js", ".mjs", ".rb", ".pl", ".php", ".lua", ".sh", ".bash", ".R", ".jl", ".tcl"};
  for (std::string_view known : kExtensions) {
    if (extension == known) return true;
  }
  return false;
}

PlayerCommand resolve_player(const std::vector<std::string>& command, ProgramLookup lookup) {
  if (command.empty()) throw std::runtime_error("no program given");
  PlayerCommand entry;
  if (lookup == ProgramLookup::kArena) {
    entry.program = find_program(command[0]);
  } else if (command[0].find('/') != std::string::npos) {
    entry.program = find_program(command[0], sandbox::kSandboxPath);
  } else {
    try {
      entry.program = find_program(command[0], sandbox::kSandboxPath);
    } catch (const std::runtime_error& error) {
      throw std::runtime_error(std::string(error.what()) +
                               ", the PATH of a sandboxed player (give its path, or play "
                               "--no-sandbox to use the arena's PATH)");
    }
  }
  fs::path main_file = entry.program;
  if (is_interpreter(entry.program.filename().string())) {
    for (std::size_t i = 1; i < command.size(); ++i) {
      if (command[i].empty() || command[i].starts_with("-")) continue;
      std::error_code error;
      if (fs::is_regular_file(command[i], error)) {
        entry.script = i;
        main_file = fs::absolute(command[i]).lexically_normal();
        entry.script_path = main_file;
        break;
      }
    }
  }
  if (entry.script && ::access(main_file.c_str(), R_OK) != 0) {
    throw std::runtime_error(command[*entry.script] + ": the script cannot be read");
  }
  if (entry.script) {
    entry.workdir = main_file.parent_path();
    entry.name = name_from_program(main_file.stem().string());
  } else {
    entry.workdir = is_interpreter(entry.program.filename().string()) ? fs::current_path()
                                                                      : entry.program.parent_path();
    const fs::path file = entry.program.filename();
    entry.name = name_from_program(
        is_script_extension(file.extension().string()) ? file.stem().string() : file.string());
  }
  return entry;
}

}  // namespace arena
