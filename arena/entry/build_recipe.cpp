#include "arena/entry/build_recipe.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "arena/process/program_path.h"
#include "arena/process/shell_words.h"
#include "arena/sandbox/bwrap_command.h"
#include "arena/system/bounded_read.h"

namespace arena::entry {
namespace fs = std::filesystem;

namespace {

constexpr const char* kNoCrates =
    ", which a build without network cannot fetch: an entry's crate must depend on no other";

// Sources are read this far when looking for a main class or a __main__ block.
constexpr std::size_t kSourceHead = 1024 * 1024;

// The regular files of the entry's own directory, by name, sorted.
std::vector<std::string> entry_files(const fs::path& entry) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(entry, error), end; !error && it != end; it.increment(error)) {
    if (it->is_regular_file(error) && !it->is_symlink(error)) {
      names.push_back(it->path().filename().string());
    }
  }
  if (error) throw std::runtime_error("cannot list " + entry.string() + ": " + error.message());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> with_extension(const std::vector<std::string>& names,
                                        std::initializer_list<std::string_view> extensions) {
  std::vector<std::string> found;
  for (const std::string& name : names) {
    for (std::string_view extension : extensions) {
      if (name.size() > extension.size() && name.ends_with(extension)) found.push_back(name);
    }
  }
  return found;
}

std::string quoted_list(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += " " + shell_quote(name);
  return text;
}

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

Recipe compiled(std::string name, std::string_view compiler, const std::vector<std::string>& files,
                std::string_view libraries = "") {
  Recipe recipe;
  recipe.name = std::move(name);
  recipe.script = std::string(compiler) + quoted_list(files);
  if (!libraries.empty()) recipe.script += " " + std::string(libraries);
  recipe.command = "./bot";
  recipe.product = "bot";
  return recipe;
}

// A class name the launcher can start: letters, digits and '_' (the launcher's own rule).
bool launchable_class(std::string_view name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
  });
}

Recipe java(const fs::path& entry, const std::vector<std::string>& sources,
            const fs::path& launcher) {
  static const std::regex kMain(R"(static\s+(final\s+)?void\s+main\s*\()");
  std::vector<std::string> mains;
  for (const std::string& source : sources) {
    if (std::regex_search(read_head(entry / source, kSourceHead), kMain)) mains.push_back(source);
  }
  if (mains.empty()) throw std::runtime_error("no Java class with a main method");
  if (mains.size() > 1) {
    throw std::runtime_error("more than one Java class with a main method: " + joined(mains));
  }
  std::string main_class = fs::path(mains.front()).stem().string();
  if (!launchable_class(main_class)) {
    throw std::runtime_error("the main class " + main_class +
                             " needs a name of letters, digits and '_' only");
  }
  std::error_code error;
  if (!fs::is_regular_file(launcher, error)) {
    // `make play` builds only what it plays; the launcher comes with the full build.
    throw std::runtime_error("no java-launcher at " + launcher.string() +
                             " to play a Java entry with: build it with `cmake --build " +
                             launcher.parent_path().parent_path().string() +
                             " --target java-launcher` (it needs javac), or give --launcher");
  }
  Recipe recipe;
  recipe.name = "java";
  recipe.script = std::string(kJavaCompiler) + quoted_list(sources) + " && cp " +
                  shell_quote(launcher.string()) + " " + shell_quote("./" + main_class) +
                  " && chmod 755 " + shell_quote("./" + main_class);
  recipe.command = shell_quote("./" + main_class);
  recipe.product = main_class + ".class";
  recipe.readonly_dirs.push_back(launcher.parent_path());
  return recipe;
}

// The interpreter a sandboxed player finds by `name` in the sandbox's PATH, by its absolute
// path, so that the entry's command runs the same interpreter wherever it is resolved; `name`
// itself when there is none.
std::string sandbox_interpreter(std::string_view name) {
  std::optional<fs::path> found = look_up_program(name, sandbox::kSandboxPath);
  return found ? found->string() : std::string(name);
}

std::string python_main(const fs::path& entry, const std::vector<std::string>& sources) {
  for (std::string_view preferred : {"main.py", "bot.py"}) {
    if (std::find(sources.begin(), sources.end(), preferred) != sources.end()) {
      return std::string(preferred);
    }
  }
  if (sources.size() == 1) return sources.front();
  static const std::regex kMainBlock(R"(__name__\s*==\s*['"]__main__['"])");
  std::vector<std::string> mains;
  for (const std::string& source : sources) {
    if (std::regex_search(read_head(entry / source, kSourceHead), kMainBlock)) {
      mains.push_back(source);
    }
  }
  if (mains.size() == 1) return mains.front();
  throw std::runtime_error("cannot tell the main Python file: name it main.py or bot.py (files: " +
                           joined(sources) + ")");
}

Recipe python(const fs::path& entry, const std::vector<std::string>& sources) {
  std::string main = python_main(entry, sources);
  Recipe recipe;
  recipe.name = "python";
  recipe.script = std::string(kPythonCompiler) + " " + shell_quote(main);
  recipe.command =
      shell_quote(sandbox_interpreter(kPythonInterpreter)) + " " + shell_quote("./" + main);
  recipe.product = main;
  return recipe;
}

// A line of a TOML or go.mod file without its comment and surrounding blanks; a '#' inside a
// string is rare enough in a manifest to be taken as a comment too.
std::string bare_line(std::string line, std::string_view comment) {
  if (auto at = line.find(comment); at != std::string::npos) line.erase(at);
  const auto first = line.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> bare_lines(const fs::path& file, std::string_view comment) {
  std::vector<std::string> lines;
  std::istringstream text(read_head(file, kSourceHead));
  for (std::string line; std::getline(text, line);) {
    if (std::string bare = bare_line(line, comment); !bare.empty()) lines.push_back(bare);
  }
  return lines;
}

bool has_file(const std::vector<std::string>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// The file package.json names as `main`, after refusing one with dependencies: the build has no
// network, so nothing can be installed.
std::string package_main(const fs::path& entry, const std::vector<std::string>& names) {
  nlohmann::json package;
  try {
    package = nlohmann::json::parse(read_head(entry / "package.json", kSourceHead));
  } catch (const nlohmann::json::exception& error) {
    throw std::runtime_error("package.json is no JSON: " + std::string(error.what()));
  }
  if (!package.is_object()) throw std::runtime_error("package.json holds no object");
  for (const char* key : {"dependencies", "optionalDependencies", "peerDependencies"}) {
    if (package.contains(key) && !package[key].empty()) {
      throw std::runtime_error("package.json has " + std::string(key) +
                               ", which a build without network cannot install: an entry's "
                               "JavaScript must need nothing beyond node itself");
    }
  }
  if (!package.contains("main")) {
    if (has_file(names, "main.js")) return "main.js";
    throw std::runtime_error("package.json names no main file");
  }
  if (!package["main"].is_string()) throw std::runtime_error("package.json's main is no file name");
  const fs::path main = fs::path(package["main"].get<std::string>()).lexically_normal();
  std::error_code error;
  if (main.empty() || main.is_absolute() || *main.begin() == ".." ||
      !fs::is_regular_file(entry / main, error)) {
    throw std::runtime_error("package.json's main \"" + main.string() +
                             "\" is no file of the entry");
  }
  return main.string();
}

Recipe javascript(const fs::path& entry, const std::vector<std::string>& names) {
  const std::string main = has_file(names, "package.json") ? package_main(entry, names) : "main.js";
  Recipe recipe;
  recipe.name = "javascript";
  recipe.script = std::string(kJavaScriptCheck) + " " + shell_quote("./" + main);
  recipe.command =
      shell_quote(sandbox_interpreter(kJavaScriptInterpreter)) + " " + shell_quote("./" + main);
  recipe.product = main;
  return recipe;
}

// The `name` of the [package] section, the name cargo gives the crate's binary, after refusing
// a crate that depends on others: the build has no network to fetch them.
std::string crate_binary(const fs::path& manifest) {
  static const std::regex kName(R"re(name\s*=\s*"([A-Za-z0-9_-]+)")re");
  std::string section;
  std::string package_name;
  std::string bin_name;
  for (const std::string& line : bare_lines(manifest, "#")) {
    if (line.starts_with("[")) {
      section = line;
      // [dependencies.NAME] is a dependency in a table of its own.
      if (section.find("dependencies.") != std::string::npos) {
        throw std::runtime_error("Cargo.toml has " + section + kNoCrates);
      }
      continue;
    }
    if (section.find("dependencies") != std::string::npos) {
      throw std::runtime_error("Cargo.toml has " + section + " (" + line + ")" + kNoCrates);
    }
    std::smatch match;
    if (!std::regex_match(line, match, kName)) continue;
    if (section == "[package]") package_name = match[1];
    if (section == "[[bin]]") {
      if (!bin_name.empty()) throw std::runtime_error("Cargo.toml names more than one [[bin]]");
      bin_name = match[1];
    }
  }
  if (!bin_name.empty()) return bin_name;
  if (package_name.empty()) throw std::runtime_error("Cargo.toml names no [package]");
  return package_name;
}

Recipe rust(const fs::path& entry, const std::vector<std::string>& names) {
  Recipe recipe;
  recipe.name = "rust";
  recipe.command = "./bot";
  recipe.product = "bot";
  if (has_file(names, "Cargo.toml")) {
    // Cargo's home and its target directory lie in the build's copy and go with the build, so
    // that nothing of the organiser's cargo is used and no compiler output is kept.
    recipe.script = "export CARGO_HOME=\"$PWD/.cargo-home\" CARGO_TARGET_DIR=\"$PWD/target\"; " +
                    std::string(kCargoBuild) + " && cp " +
                    shell_quote("target/release/" + crate_binary(entry / "Cargo.toml")) +
                    " bot && rm -rf .cargo-home target";
  } else {
    recipe.script = std::string(kRustCompiler) + " main.rs";
  }
  return recipe;
}

Recipe go(const fs::path& entry) {
  for (const std::string& line : bare_lines(entry / "go.mod", "//")) {
    if (line.starts_with("require")) {
      throw std::runtime_error("go.mod requires other modules (" + line +
                               "), which a build without network cannot fetch: an entry's "
                               "module must need nothing beyond the standard library");
    }
  }
  Recipe recipe;
  recipe.name = "go";
  // Go's caches lie in the build's copy and go with the build; no module is fetched and no other
  // toolchain is downloaded.
  recipe.script =
      "export GOCACHE=\"$PWD/.go-cache\" GOPATH=\"$PWD/.go-path\" GOFLAGS=-mod=mod GOPROXY=off "
      "GOTOOLCHAIN=local; " +
      std::string(kGoBuild) + " .; status=$?; chmod -R u+w .go-cache .go-path 2>/dev/null; " +
      "rm -rf .go-cache .go-path; exit $status";
  recipe.command = "./bot";
  recipe.product = "bot";
  return recipe;
}

}  // namespace

Recipe choose_recipe(const fs::path& entry, const fs::path& launcher) {
  std::vector<std::string> names = entry_files(entry);
  if (std::find(names.begin(), names.end(), "build.sh") != names.end()) {
    Recipe recipe;
    recipe.name = "build.sh";
    recipe.script = "bash -e ./build.sh";
    recipe.command = "./bot";
    recipe.product = "bot";
    return recipe;
  }
  if (auto cxx = with_extension(names, {".cpp", ".cc"}); !cxx.empty()) {
    return compiled("c++", kCxxCompiler, cxx);
  }
  if (auto c = with_extension(names, {".c"}); !c.empty()) {
    return compiled("c", kCCompiler, c, kCLibraries);
  }
  if (auto sources = with_extension(names, {".java"}); !sources.empty()) {
    return java(entry, sources, launcher);
  }
  if (auto sources = with_extension(names, {".py"}); !sources.empty()) {
    return python(entry, sources);
  }
  if (has_file(names, "main.js") || has_file(names, "package.json")) {
    return javascript(entry, names);
  }
  if (has_file(names, "Cargo.toml") || has_file(names, "main.rs")) return rust(entry, names);
  if (has_file(names, "go.mod")) return go(entry);
  throw std::runtime_error(
      "nothing to build: no build.sh and no *.cpp, *.cc, *.c, *.java or *.py file, nor main.js, "
      "package.json, Cargo.toml, main.rs or go.mod");
}

std::string compiler_flags_text() {
  return "  build.sh: bash -e ./build.sh, which leaves the program to play as ./bot\n"
         "  c++:      " +
         std::string(kCxxCompiler) + " SOURCES\n" + "  c:        " + std::string(kCCompiler) +
         " SOURCES " + std::string(kCLibraries) + "\n" +
         "  java:     " + std::string(kJavaCompiler) +
         " SOURCES, then java-launcher copied as ./MAINCLASS\n" +
         "  python:   " + std::string(kPythonCompiler) + " MAIN.py, played as " +
         std::string(kPythonInterpreter) + " ./MAIN.py\n" +
         "  javascript: " + std::string(kJavaScriptCheck) +
         " MAIN.js (main.js or package.json's main), played as " +
         std::string(kJavaScriptInterpreter) + " ./MAIN.js\n" +
         "  rust:     " + std::string(kCargoBuild) +
         " (Cargo.toml), its binary copied to ./bot; or " + std::string(kRustCompiler) +
         " main.rs\n" + "  go:       " + std::string(kGoBuild) + " . (go.mod)\n";
}

}  // namespace arena::entry
