#include "arena/entry/build_recipe.h"

#include <algorithm>
#include <optional>
#include <regex>
#include <stdexcept>
#include <system_error>

#include "arena/process/program_path.h"
#include "arena/process/shell_words.h"
#include "arena/sandbox/bwrap_command.h"
#include "arena/system/bounded_read.h"

namespace arena::entry {
namespace fs = std::filesystem;

namespace {

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
  throw std::runtime_error(
      "nothing to build: no build.sh and no *.cpp, *.cc, *.c, *.java or *.py file");
}

std::string compiler_flags_text() {
  return "  build.sh: bash -e ./build.sh, which leaves the program to play as ./bot\n"
         "  c++:      " +
         std::string(kCxxCompiler) + " SOURCES\n" + "  c:        " + std::string(kCCompiler) +
         " SOURCES " + std::string(kCLibraries) + "\n" +
         "  java:     " + std::string(kJavaCompiler) +
         " SOURCES, then java-launcher copied as ./MAINCLASS\n" +
         "  python:   " + std::string(kPythonCompiler) + " MAIN.py, played as " +
         std::string(kPythonInterpreter) + " ./MAIN.py\n";
}

}  // namespace arena::entry
