#include "arena/match/player_command.h"

#include <unistd.h>

#include <array>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include "arena/game/game_names.h"
#include "arena/match/env_command.h"
#include "arena/process/program_path.h"
#include "arena/sandbox/bwrap_command.h"
#include "arena/sandbox/sandbox_policy.h"

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

namespace {

// An option after which an interpreter takes program text, not a script file: `-c` (sh, bash,
// python), `-e`/`-E` (perl, ruby, node, lua), `-r` (php), `-m` (a python module), `-p`, node's
// long forms, and short options run together that end in one (`-ec`, `-lne`).
bool takes_program_text(std::string_view option) {
  static constexpr std::array<std::string_view, 8> kOptions = {
      "-e", "-E", "-r", "-m", "-p", "--eval", "--print", "--command"};
  for (std::string_view known : kOptions) {
    if (option == known) return true;
  }
  return option.size() >= 2 && option[1] != '-' && (option.back() == 'c' || option.back() == 'e');
}

// Whether an argument is meant as a file by its look: it holds a directory or a script's name.
bool looks_like_path(const std::string& argument) {
  return argument.find('/') != std::string::npos ||
         is_script_extension(fs::path(argument).extension().string());
}

}  // namespace

namespace {

// The executable a command word names, as `lookup` says it is found.
fs::path locate(const std::string& word, ProgramLookup lookup) {
  if (lookup == ProgramLookup::kArena) return find_program(word);
  if (word.find('/') != std::string::npos) return find_program(word, sandbox::kSandboxPath);
  try {
    return find_program(word, sandbox::kSandboxPath);
  } catch (const std::runtime_error& error) {
    throw std::runtime_error(std::string(error.what()) +
                             ", the PATH of a sandboxed player (give its path, or play "
                             "--no-sandbox to use the arena's PATH)");
  }
}

// The index of the script that the interpreter at index `at` runs, if it runs one.
std::optional<std::size_t> find_script(const std::vector<std::string>& words, std::size_t at) {
  // The first argument that looks like a script's path but names nothing, unless program text
  // came before it (`sh -c 'cat ./notes'`).
  std::optional<std::string> missing;
  bool program_text = false;
  for (std::size_t i = at + 1; i < words.size(); ++i) {
    if (words[i].empty()) continue;
    if (words[i].starts_with("-")) {
      program_text = program_text || takes_program_text(words[i]);
      continue;
    }
    std::error_code error;
    if (fs::is_regular_file(words[i], error)) return i;
    if (!missing && !program_text && looks_like_path(words[i]) && !fs::exists(words[i], error)) {
      missing = words[i];
    }
  }
  if (missing) {
    throw std::runtime_error(*missing + ": no such file, so " +
                             fs::path(words[at]).filename().string() + " has no script to run");
  }
  return std::nullopt;
}

}  // namespace

PlayerCommand resolve_player(const std::vector<std::string>& command, ProgramLookup lookup) {
  if (command.empty()) throw std::runtime_error("no program given");
  PlayerCommand entry;
  entry.arguments = command;
  std::vector<std::string>& words = entry.arguments;
  entry.program = locate(words[0], lookup);
  // The program that plays: the one env starts, when the command goes through env.
  std::size_t at = 0;
  fs::path player = entry.program;
  while (is_env(player.filename().string())) {
    at = program_after_env(words, at);
    player = locate(words[at], lookup);
  }
  const bool interpreted = is_interpreter(player.filename().string());
  if (interpreted) {
    entry.script = find_script(words, at);
  } else if (at > 0 && words[at].find('/') != std::string::npos) {
    // A program of the player's own that env starts stands where an interpreter's script does:
    // it is shown to the player and handed over by its absolute path.
    entry.script = at;
  }
  if (entry.script) {
    const fs::path main_file = fs::absolute(words[*entry.script]).lexically_normal();
    if (::access(main_file.c_str(), R_OK) != 0) {
      throw std::runtime_error(words[*entry.script] + ": the script cannot be read");
    }
    entry.script_path = main_file;
    // The script is handed over as an absolute path: the player runs in another directory.
    words[*entry.script] = fs::absolute(words[*entry.script]).string();
    player = main_file;
  }
  if (interpreted && !entry.script) {
    // An interpreter without a script keeps an empty workdir: PlayerWorkdir gives it one.
  } else {
    entry.workdir = player.parent_path();
  }
  const fs::path file = player.filename();
  entry.name = name_from_program((interpreted && entry.script) ||
                                         is_script_extension(file.extension().string())
                                     ? file.stem().string()
                                     : file.string());
  return entry;
}

PlayerWorkdir::PlayerWorkdir(const PlayerCommand& entry, const fs::path& chosen) {
  if (!chosen.empty()) {
    path_ = fs::absolute(chosen);
  } else if (!entry.workdir.empty()) {
    path_ = entry.workdir;
  } else {
    scratch_ = std::make_unique<ScratchDir>(std::string(sandbox::kScratchDirPrefix) + "player.");
    // It stays empty: a sandbox shows it as a scratch area, which the player's writes go to.
    fs::permissions(scratch_->path(), fs::perms::owner_all | fs::perms::group_read |
                                          fs::perms::group_exec | fs::perms::others_read |
                                          fs::perms::others_exec);
    path_ = scratch_->path();
  }
}

}  // namespace arena
