// The Java launcher, tested as the match manager uses it: the real binary is copied under a
// player's name into a scratch directory and started there. A stand-in `java` early on PATH
// records the arguments it receives and the standard input it reads, and echoes that input back;
// one test starts a real Java program through the launcher.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;
extern char** environ;

namespace {

const fs::path kLauncher = fs::path(ZARVO_BIN_DIR) / "java-launcher";

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// What `java` must receive for a class, one argument per line in angle brackets so that an empty
// argument shows. The stand-in cannot see its own argv[0], which the shell replaces by its path.
std::string java_args_for(const std::string& class_name) {
  return "<-Xmx2000m>\n<-Xms2000m>\n<-XX:+UseSerialGC>\n<" + class_name + ">\n";
}

struct Outcome {
  int status = -1;  // exit status, or -1 when the process did not exit normally
  std::string out;
  std::string err;
};

// A scratch directory with a stand-in `java` in fake-java/ and the launcher copied under any name.
class Sandbox {
 public:
  Sandbox() {
    std::string pattern = (fs::temp_directory_path() / "launcher_test.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
    fs::create_directory(dir_ / "fake-java");
    fs::create_directory(dir_ / "record");
    fs::create_directory(dir_ / "nothing");
    const fs::path java = dir_ / "fake-java" / "java";
    write_file(java,
               "#!/bin/sh\n"
               "for a in \"$@\"; do printf '<%s>\\n' \"$a\"; done > '" +
                   (dir_ / "record" / "args").string() + "'\n" + "tee '" +
                   (dir_ / "record" / "stdin").string() + "'\n");
    fs::permissions(java, fs::perms::owner_all);
  }
  ~Sandbox() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const fs::path& dir() const { return dir_; }
  std::string fake_path() const { return (dir_ / "fake-java").string() + ":/usr/bin:/bin"; }
  std::string empty_path() const { return (dir_ / "nothing").string(); }
  std::string recorded_args() const { return read_file(dir_ / "record" / "args"); }
  std::string recorded_stdin() const { return read_file(dir_ / "record" / "stdin"); }
  bool java_was_started() const { return fs::exists(dir_ / "record" / "args"); }

  // Copies the launcher to `relative` (a path inside the sandbox, directories created).
  void install(const fs::path& relative) const {
    const fs::path target = dir_ / relative;
    fs::create_directories(target.parent_path());
    fs::copy_file(kLauncher, target, fs::copy_options::overwrite_existing);
  }

  // Starts the copy at `relative` from the sandbox directory with the given argv (argv[0] first;
  // an empty list gives the program no arguments at all), PATH and standard input.
  Outcome run(const fs::path& relative, const std::vector<std::string>& argv,
              const std::string& path, const std::string& input = "",
              const std::vector<std::string>& extra_env = {}) const {
    std::vector<std::string> env_text{"PATH=" + path};
    for (char** e = environ; *e != nullptr; e++)
      if (strncmp(*e, "PATH=", 5) != 0 && strncmp(*e, "CLASSPATH=", 10) != 0)
        env_text.emplace_back(*e);
    env_text.insert(env_text.end(), extra_env.begin(), extra_env.end());
    std::vector<char*> envp, args;
    for (auto& s : env_text) envp.push_back(const_cast<char*>(s.c_str()));
    for (auto& s : argv) args.push_back(const_cast<char*>(s.c_str()));
    envp.push_back(nullptr);
    args.push_back(nullptr);
    const std::string out_file = (dir_ / "record" / "out").string();
    const std::string err_file = (dir_ / "record" / "err").string();

    int in_pipe[2];
    if (pipe(in_pipe) != 0) throw std::runtime_error("pipe failed");
    const pid_t pid = fork();
    if (pid == 0) {
      int out = open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      int err = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (out < 0 || err < 0 || chdir(dir_.c_str()) != 0 || dup2(in_pipe[0], 0) < 0 ||
          dup2(out, 1) < 0 || dup2(err, 2) < 0)
        _exit(125);
      close(in_pipe[0]);
      close(in_pipe[1]);
      execve(relative.c_str(), args.data(), envp.data());
      _exit(125);
    }
    close(in_pipe[0]);
    // Small inputs only: they fit the pipe, so writing them all before waiting cannot block.
    if (!input.empty() &&
        write(in_pipe[1], input.data(), input.size()) != static_cast<ssize_t>(input.size()))
      ADD_FAILURE() << "short write to the launcher's standard input";
    close(in_pipe[1]);
    int wstatus = 0;
    while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
    }
    Outcome outcome;
    outcome.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    outcome.out = read_file(out_file);
    outcome.err = read_file(err_file);
    return outcome;
  }

  // The usual case: the copy is started by its path, which is also its argv[0].
  Outcome start(const std::string& relative, const std::string& input = "") const {
    return run(relative, {relative}, fake_path(), input);
  }

 private:
  fs::path dir_;
};

// Runs a command from the test's own environment in `dir`; true when it exits with status 0.
bool run_tool(const fs::path& dir, const std::string& command) {
  const std::string line = "cd '" + dir.string() + "' && " + command;
  return std::system(line.c_str()) == 0;
}

struct NameCase {
  std::string file;        // where the copy lives, relative to the sandbox
  std::string program;     // the name it is started under (its argv[0])
  std::string class_name;  // what java must be asked to run
};

void expect_class(const NameCase& c) {
  SCOPED_TRACE("program name '" + c.program + "'");
  Sandbox box;
  box.install(c.file);
  const Outcome outcome = box.run(c.file, {c.program}, box.fake_path());
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(box.recorded_args(), java_args_for(c.class_name));
}

TEST(JavaLauncher, TakesTheClassNameFromItsOwnFileName) {
  // On Linux a backslash is an ordinary character, so Windows-style names are real file names.
  for (const NameCase& c : std::initializer_list<NameCase>{
           {"C:\\bots\\MyBot.exe", "C:\\bots\\MyBot.exe", "MyBot"},
           {"players/Bot_2", "./players/Bot_2", "Bot_2"},
           {"my-bot.exe", "my-bot.exe", "my"},
           {"C:\\bots/sub\\Main.exe", "C:\\bots/sub\\Main.exe", "Main"},
           {"Main", "Main", "Main"},
           {"Bot_v2.exe", "Bot_v2.exe", "Bot_v2"},
           {"7_Up.jar", "7_Up.jar", "7_Up"},
           {"Player.class.exe", "Player.class.exe", "Player"},
           {"with space/Bot Two", "with space/Bot Two", "Bot"},
           {"B\xc3\xb6tchen", "B\xc3\xb6tchen", "B"},
       })
    expect_class(c);
}

TEST(JavaLauncher, UsesTheLastSeparatorOfEitherKind) {
  for (const NameCase& c : std::initializer_list<NameCase>{
           {"a\\b/Slash", "a\\b/Slash", "Slash"},
           {"a/b\\Backslash", "a/b\\Backslash", "Backslash"},
           {"dir.v2/Bot", "dir.v2/Bot", "Bot"},
       })
    expect_class(c);
  Sandbox box;
  box.install("bin/Absolute");
  const std::string absolute = (box.dir() / "bin" / "Absolute").string();
  box.run(absolute, {absolute}, box.fake_path());
  EXPECT_EQ(box.recorded_args(), java_args_for("Absolute"));
}

TEST(JavaLauncher, PassesAnEmptyClassNameAsAnEmptyLastArgument) {
  for (const NameCase& c : std::initializer_list<NameCase>{
           {"launcher", "D:/x/", ""},
           {"bots\\", "bots\\", ""},
           {"-bot", "-bot", ""},
           {".hidden", ".hidden", ""},
           {"launcher", "", ""},
       })
    expect_class(c);
}

TEST(JavaLauncher, CopesWithoutAnyProgramName) {
  Sandbox box;
  box.install("Nameless");
  const Outcome outcome = box.run("Nameless", {}, box.fake_path());
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(box.recorded_args(), java_args_for(""));
}

TEST(JavaLauncher, DoesNotForwardItsOwnArguments) {
  Sandbox box;
  box.install("Bot");
  box.run("Bot", {"Bot", "-Xmx1m", "Other", ""}, box.fake_path());
  EXPECT_EQ(box.recorded_args(), java_args_for("Bot"));
}

TEST(JavaLauncher, HandsItsStandardInputAndOutputToJava) {
  Sandbox box;
  box.install("Echo");
  const std::string lines = "Start\n123456\nQuit\n";
  const Outcome outcome = box.start("Echo", lines);
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(box.recorded_stdin(), lines);
  EXPECT_EQ(outcome.out, lines);
}

TEST(JavaLauncher, LongProgramNamesUseTheWholeName) {
  // A real path far beyond the 1000-byte buffer: the class is still its last component.
  {
    Sandbox box;
    std::string path;
    for (int i = 0; i < 6; i++) path += std::string(200, static_cast<char>('a' + i)) + "/";
    path += "DeepBot.exe";
    ASSERT_GT(path.size(), 1000u);
    box.install(path);
    box.start(path);
    EXPECT_EQ(box.recorded_args(), java_args_for("DeepBot"));
  }
  // Class names at, just past and far past the buffer's size arrive whole.
  for (size_t length : {998u, 999u, 1000u, 1001u, 4000u}) {
    SCOPED_TRACE("class name of " + std::to_string(length) + " characters");
    const std::string long_class = "L" + std::string(length - 1, 'x');
    expect_class({"launcher", "dir/" + long_class + ".exe", long_class});
    expect_class({"launcher", long_class, long_class});
  }
  // A long name whose last separator lies past the buffer's end.
  expect_class({"launcher", std::string(3000, '-') + "/Tail", "Tail"});
  expect_class({"launcher", std::string(3000, '/'), ""});
}

TEST(JavaLauncher, ReportsAMissingJavaWithStatus127) {
  Sandbox box;
  box.install("Bot");
  const Outcome outcome = box.run("Bot", {"Bot"}, box.empty_path());
  EXPECT_EQ(outcome.status, 127);
  EXPECT_EQ(outcome.err,
            std::string("java-launcher: cannot start java: ") + strerror(ENOENT) + "\n");
  EXPECT_EQ(outcome.out, "");
}

TEST(JavaLauncher, ReportsAJavaThatCannotRunWithStatus127) {
  Sandbox box;
  box.install("Bot");
  fs::permissions(box.dir() / "fake-java" / "java", fs::perms::owner_read | fs::perms::owner_write);
  const Outcome outcome = box.run("Bot", {"Bot"}, (box.dir() / "fake-java").string());
  EXPECT_EQ(outcome.status, 127);
  EXPECT_EQ(outcome.err,
            std::string("java-launcher: cannot start java: ") + strerror(EACCES) + "\n");
  EXPECT_FALSE(box.java_was_started());
}

TEST(JavaLauncher, RunsARealJavaPlayer) {
  Sandbox box;
  write_file(box.dir() / "EchoPlayer.java",
             "import java.io.*;\n"
             "public class EchoPlayer {\n"
             "  public static void main(String[] args) throws IOException {\n"
             "    BufferedReader in = new BufferedReader(new InputStreamReader(System.in));\n"
             "    String line = in.readLine();\n"
             "    System.out.println(\"echo \" + line);\n"
             "    System.out.flush();\n"
             "  }\n"
             "}\n");
  ASSERT_TRUE(run_tool(box.dir(), "javac EchoPlayer.java"))
      << "javac is needed: run scripts/install-deps.sh";
  box.install("EchoPlayer");
  const char* test_path = std::getenv("PATH");
  const Outcome outcome =
      box.run("EchoPlayer", {"./EchoPlayer"}, test_path != nullptr ? test_path : "/usr/bin:/bin",
              "4 Hh123456h\n", {"CLASSPATH=" + box.dir().string()});
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "echo 4 Hh123456h\n");
}

}  // namespace
