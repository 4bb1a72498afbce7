// Which recipe `zarvo-arena build` gives an entry directory, read from the entry's own files:
// build.sh before every language, then C++, C, Java, Python, JavaScript, Rust and Go; the script
// each runs, the command that plays the result, and the errors when no recipe fits or a choice is
// ambiguous.
#include "arena/entry/build_recipe.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "arena/entry/source_hash.h"
#include "tests/support/test_files.h"

namespace fs = std::filesystem;
using arena::entry::choose_recipe;
using arena::entry::Recipe;

namespace {

class BuildRecipe : public ::testing::Test {
 protected:
  void SetUp() override {
    entry_ = test_support::fresh_test_dir("build_recipe_test.");
    launcher_ = entry_.parent_path() / (entry_.filename().string() + ".launcher") / "java-launcher";
    fs::create_directories(launcher_.parent_path());
    std::ofstream(launcher_) << "#!/bin/sh\n";
  }
  void TearDown() override {
    fs::remove_all(entry_);
    fs::remove_all(launcher_.parent_path());
  }

  void add(const std::string& name, const std::string& text = "") {
    fs::create_directories((entry_ / name).parent_path());
    std::ofstream(entry_ / name) << text;
  }
  Recipe recipe() const { return choose_recipe(entry_, launcher_); }
  // The message choose_recipe throws, or "" when it chooses a recipe.
  std::string refusal() const {
    try {
      recipe();
    } catch (const std::runtime_error& error) {
      return error.what();
    }
    return "";
  }

  fs::path entry_;
  fs::path launcher_;
};

TEST_F(BuildRecipe, BuildShComesBeforeAnySources) {
  add("build.sh", "g++ -o bot bot.cpp\n");
  add("bot.cpp");
  add("main.py");
  Recipe r = recipe();
  EXPECT_EQ(r.name, "build.sh");
  EXPECT_EQ(r.script, "bash -e ./build.sh");
  EXPECT_EQ(r.command, "./bot");
  EXPECT_EQ(r.product, "bot");
}

TEST_F(BuildRecipe, CxxCompilesEveryCppAndCcFileIntoBot) {
  add("main.cpp");
  add("board.cc");
  add("notes.txt");
  Recipe r = recipe();
  EXPECT_EQ(r.name, "c++");
  EXPECT_EQ(r.script, std::string(arena::entry::kCxxCompiler) + " board.cc main.cpp");
  EXPECT_EQ(r.command, "./bot");
  EXPECT_EQ(r.product, "bot");
}

TEST_F(BuildRecipe, CCompilesEveryCFileWithTheMathLibrary) {
  add("bot.c");
  add("moves.c");
  Recipe r = recipe();
  EXPECT_EQ(r.name, "c");
  EXPECT_EQ(r.script, std::string(arena::entry::kCCompiler) + " bot.c moves.c -lm");
  EXPECT_EQ(r.command, "./bot");
}

TEST_F(BuildRecipe, OfTwoLanguagesTheEarlierRecipeWins) {
  add("bot.c");
  add("helper.cpp");
  add("Main.java", "class Main { public static void main(String[] a) {} }");
  add("main.py");
  EXPECT_EQ(recipe().name, "c++");
}

TEST_F(BuildRecipe, JavaPlaysTheOneClassWithMainThroughACopyOfTheLauncher) {
  add("Bot.java", "public class Bot {\n  public static void main(String[] args) {}\n}\n");
  add("Board.java", "class Board { void main() {} }\n");
  Recipe r = recipe();
  EXPECT_EQ(r.name, "java");
  EXPECT_EQ(r.command, "./Bot");
  EXPECT_EQ(r.product, "Bot.class");
  EXPECT_NE(r.script.find(launcher_.string()), std::string::npos) << r.script;
  ASSERT_EQ(r.readonly_dirs.size(), 1u);
  EXPECT_EQ(r.readonly_dirs[0], launcher_.parent_path());
}

TEST_F(BuildRecipe, JavaWithTwoMainClassesOrNoneIsRefused) {
  add("A.java", "class A { public static void main(String[] a) {} }");
  add("B.java", "class B { static final void main(String[] a) {} }");
  EXPECT_EQ(refusal(), "more than one Java class with a main method: A.java, B.java");
  fs::remove(entry_ / "A.java");
  fs::remove(entry_ / "B.java");
  add("C.java", "class C {}");
  EXPECT_EQ(refusal(), "no Java class with a main method");
}

TEST_F(BuildRecipe, JavaWithoutALauncherIsRefused) {
  add("Bot.java", "class Bot { public static void main(String[] a) {} }");
  fs::remove(launcher_);
  EXPECT_NE(refusal().find("no java-launcher at " + launcher_.string()), std::string::npos);
}

TEST_F(BuildRecipe, PythonPlaysMainPyBeforeBotPyBeforeTheOneWithAMainBlock) {
  add("bot.py");
  add("main.py");
  add("util.py", "if __name__ == '__main__':\n  pass\n");
  Recipe r = recipe();
  EXPECT_EQ(r.name, "python");
  EXPECT_EQ(r.script, std::string(arena::entry::kPythonCompiler) + " main.py");
  EXPECT_TRUE(r.command.ends_with("python3 ./main.py")) << r.command;
  EXPECT_EQ(r.product, "main.py");

  fs::remove(entry_ / "main.py");
  EXPECT_EQ(recipe().product, "bot.py");
  fs::remove(entry_ / "bot.py");
  add("other.py");
  EXPECT_EQ(recipe().product, "util.py");
}

TEST_F(BuildRecipe, PythonPlaysItsOnlyFileWhateverItsName) {
  add("zarvo_player.py");
  EXPECT_EQ(recipe().product, "zarvo_player.py");
}

TEST_F(BuildRecipe, PythonWithTwoFilesAndNoWayToTellTheMainIsRefused) {
  add("a.py");
  add("b.py");
  EXPECT_EQ(refusal(),
            "cannot tell the main Python file: name it main.py or bot.py (files: a.py, b.py)");
}

TEST_F(BuildRecipe, AnEntryWithNothingToBuildIsRefused) {
  add("README.md");
  add("src/bot.cpp");  // only the entry's own directory is searched
  EXPECT_EQ(refusal(),
            "nothing to build: no build.sh and no *.cpp, *.cc, *.c, *.java or *.py file, nor "
            "main.js, package.json, Cargo.toml, main.rs or go.mod");
}

TEST_F(BuildRecipe, JavaScriptChecksAndPlaysMainJsWithTheSandboxesNode) {
  add("main.js");
  add("board.js");
  Recipe r = recipe();
  EXPECT_EQ(r.name, "javascript");
  EXPECT_EQ(r.script, "node --check ./main.js");
  EXPECT_TRUE(r.command.ends_with("node ./main.js")) << r.command;
  EXPECT_EQ(r.product, "main.js");
}

TEST_F(BuildRecipe, JavaScriptPlaysTheMainOfAPackageWithoutDependencies) {
  add("package.json", R"({"name": "bot", "main": "src/bot's.js", "dependencies": {}})");
  add("src/bot's.js");
  Recipe r = recipe();
  EXPECT_EQ(r.name, "javascript");
  EXPECT_TRUE(r.command.ends_with("node './src/bot'\\''s.js'")) << r.command;
  EXPECT_EQ(r.product, "src/bot's.js");
}

TEST_F(BuildRecipe, JavaScriptPackageWithDependenciesOrNoMainFileIsRefused) {
  add("package.json", R"({"main": "bot.js", "dependencies": {"ws": "8"}})");
  add("bot.js");
  EXPECT_NE(refusal().find("package.json has dependencies"), std::string::npos) << refusal();
  add("package.json", R"({"main": "../elsewhere.js"})");
  EXPECT_EQ(refusal(), "package.json's main \"../elsewhere.js\" is no file of the entry");
}

// Its main file is what it plays, and what a rebuild must find unchanged.
TEST_F(BuildRecipe, AJavaScriptEntrysMainFileCountsAmongItsSources) {
  add("main.js", "console.log('Aah')\n");
  const std::string before = arena::entry::source_hash(entry_, recipe());
  add("main.js", "console.log('Abh')\n");
  EXPECT_NE(arena::entry::source_hash(entry_, recipe()), before);
}

// A FIFO an entrant left among its sources is hashed as what it is, never opened: a read of it
// would wait for ever.
TEST_F(BuildRecipe, AFifoAmongTheSourcesIsHashedWithoutBeingOpened) {
  add("main.js", "console.log('Aah')\n");
  const std::string before = arena::entry::source_hash(entry_, recipe());
  ASSERT_EQ(::mkfifo((entry_ / "chan").c_str(), 0644), 0);
  EXPECT_NE(arena::entry::source_hash(entry_, recipe()), before);
}

TEST_F(BuildRecipe, RustBuildsACrateOfflineAndCopiesItsBinary) {
  add("Cargo.toml",
      "[package]\nname = \"zarvo-bot\"  # the binary\nversion = \"0.1.0\"\n\n[dependencies]\n"
      "# none\n\n[profile.release]\nopt-level = 3\n");
  add("main.rs");
  Recipe r = recipe();
  EXPECT_EQ(r.name, "rust");
  EXPECT_NE(r.script.find("CARGO_HOME=\"$PWD/"), std::string::npos) << r.script;
  EXPECT_NE(r.script.find("CARGO_TARGET_DIR=\"$PWD/"), std::string::npos) << r.script;
  EXPECT_NE(r.script.find("cargo build --release --offline && cp target/release/zarvo-bot bot"),
            std::string::npos)
      << r.script;
  EXPECT_EQ(r.command, "./bot");
  EXPECT_EQ(r.product, "bot");
}

TEST_F(BuildRecipe, RustCrateWithDependenciesIsRefused) {
  add("Cargo.toml", "[package]\nname = \"bot\"\n[dependencies]\nrand = \"0.8\"\n");
  EXPECT_NE(refusal().find("Cargo.toml has [dependencies] (rand = \"0.8\")"), std::string::npos)
      << refusal();
  add("Cargo.toml", "[package]\nname = \"bot\"\n[dependencies.rand]\nversion = \"0.8\"\n");
  EXPECT_NE(refusal().find("Cargo.toml has [dependencies.rand]"), std::string::npos) << refusal();
}

TEST_F(BuildRecipe, RustWithoutACrateCompilesMainRs) {
  add("main.rs");
  Recipe r = recipe();
  EXPECT_EQ(r.name, "rust");
  EXPECT_EQ(r.script, "rustc -O -o bot main.rs");
  EXPECT_EQ(r.product, "bot");
}

TEST_F(BuildRecipe, GoBuildsAModuleWithItsCachesInTheEntryAndNothingFetched) {
  add("go.mod", "module bot\n\ngo 1.19\n");
  add("main.go");
  Recipe r = recipe();
  EXPECT_EQ(r.name, "go");
  for (const char* part : {"GOCACHE=\"$PWD/", "GOPATH=\"$PWD/", "GOFLAGS=-mod=mod", "GOPROXY=off",
                           "GOTOOLCHAIN=local", "go build -o bot ."}) {
    EXPECT_NE(r.script.find(part), std::string::npos) << part << "\n" << r.script;
  }
  EXPECT_EQ(r.product, "bot");
  add("go.mod", "module bot\n\nrequire example.com/x v1.0.0\n");
  EXPECT_NE(refusal().find("go.mod requires other modules"), std::string::npos) << refusal();
}

TEST_F(BuildRecipe, TheNewLanguagesComeAfterTheEarlierOnes) {
  add("main.js");
  add("main.rs");
  add("go.mod");
  add("helper.py");
  EXPECT_EQ(recipe().name, "python");
  fs::remove(entry_ / "helper.py");
  EXPECT_EQ(recipe().name, "javascript");
  fs::remove(entry_ / "main.js");
  EXPECT_EQ(recipe().name, "rust");
}

}  // namespace
