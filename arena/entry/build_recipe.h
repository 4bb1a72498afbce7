// How an entry (a directory holding one entrant's sources) is built, and how the built entry is
// played: the first recipe that fits the entry's files. The compilers' flags are fixed here, in
// one place, and `zarvo-arena build` prints them.
//
//   build.sh  the entry's own script, run with bash -e (a failing command fails the build); it
//             leaves the program to play as `bot`
//   c++       every *.cpp and *.cc file of the entry, compiled into `bot`
//   c         every *.c file, compiled into `bot`
//   java      every *.java file, compiled beside its sources; the class with `main` is played
//             through a copy of java-launcher named after it (as the sample Java bot is)
//   python    the main file (main.py, bot.py, the only *.py, or the only one with a __main__
//             block) byte-compiled as a check, played with the python3 of the players'
//             sandbox's PATH, named by its absolute path
//   javascript  main.js, or the file package.json names as `main` (a package.json with
//             dependencies is refused: nothing can be installed), checked with node --check,
//             played with the node of the players' sandbox's PATH, named by its absolute path
//   rust      a crate (Cargo.toml, refused with dependencies) built by cargo offline, its
//             binary copied to `bot`, cargo's home and target directory inside the build's
//             copy; else a single main.rs compiled by rustc into `bot`
//   go        a module (go.mod, refused when it requires others) built by go into `bot`, its
//             caches inside the build's copy, no module fetched, no other toolchain
//
// Only the entry's own directory is searched for sources, not the directories below it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace arena::entry {

inline constexpr std::string_view kCxxCompiler = "g++ -std=c++20 -O2 -pipe -o bot";
inline constexpr std::string_view kCCompiler = "gcc -std=c17 -O2 -pipe -o bot";
inline constexpr std::string_view kCLibraries = "-lm";
// The compiler's own JVM keeps its reservations small, so that javac also starts where the
// build's memory limit is an address-space limit (no memory control group).
inline constexpr std::string_view kJavaCompiler =
    "javac -J-Xmx512m -J-XX:CompressedClassSpaceSize=64m -J-XX:ReservedCodeCacheSize=64m "
    "-J-XX:+UseSerialGC -encoding UTF-8 -d .";
inline constexpr std::string_view kPythonCompiler = "python3 -m py_compile";
inline constexpr std::string_view kPythonInterpreter = "python3";
inline constexpr std::string_view kJavaScriptCheck = "node --check";
inline constexpr std::string_view kJavaScriptInterpreter = "node";
inline constexpr std::string_view kCargoBuild = "cargo build --release --offline";
inline constexpr std::string_view kRustCompiler = "rustc -O -o bot";
inline constexpr std::string_view kGoBuild = "go build -o bot";

struct Recipe {
  std::string name;    // "build.sh", "c++", "c", "java", "python", "javascript", ...
  std::string script;  // run by /bin/sh in the entry, inside the build's sandbox
  // How the built entry is played: a command line in which "./FILE" names a file of the entry.
  std::string command;
  // The file the build must leave behind (relative to the entry) for the entry to be playable.
  std::string product;
  // More directories the build must see, read-only (java-launcher's).
  std::vector<std::filesystem::path> readonly_dirs;
};

// The recipe for `entry`. `launcher` is the java-launcher to copy for a Java entry. Throws
// std::runtime_error naming the cause when no recipe fits (no sources, no main class, ...).
Recipe choose_recipe(const std::filesystem::path& entry, const std::filesystem::path& launcher);

// One line per recipe with the compiler and its flags, for the terminal.
std::string compiler_flags_text();

}  // namespace arena::entry
