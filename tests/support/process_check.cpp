#include "tests/support/process_check.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

extern char** environ;

namespace test_support {
namespace fs = std::filesystem;

namespace {

// Reads a whole file; "" when it cannot be read. A /proc file of a process that ends while it
// is read fails with ESRCH, which the stream reports by throwing.
std::string slurp(const fs::path& file) {
  try {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  } catch (const std::exception&) {
    return "";
  }
}

void reap_adopted_zombies() {
  while (::waitpid(-1, nullptr, WNOHANG) > 0) {
  }
}

struct ProcInfo {
  pid_t pid;
  pid_t parent;
  char state;
  std::string cmdline;
};

std::vector<ProcInfo> all_processes() {
  std::vector<ProcInfo> list;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string stat = slurp(entry.path() / "stat");
    auto close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream fields(stat.substr(close + 1));
    ProcInfo info{std::stoi(name), 0, '?', slurp(entry.path() / "cmdline")};
    fields >> info.state >> info.parent;
    for (char& c : info.cmdline) {
      if (c == '\0') c = ' ';
    }
    list.push_back(info);
  }
  return list;
}

std::vector<pid_t> wait_while_found(const std::function<bool(const ProcInfo&)>& match,
                                    int patience_ms) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(patience_ms);
  for (;;) {
    reap_adopted_zombies();
    std::vector<pid_t> found;
    for (const auto& info : all_processes()) {
      if (info.pid != ::getpid() && info.state != 'Z' && match(info)) found.push_back(info.pid);
    }
    if (found.empty() || std::chrono::steady_clock::now() > until) return found;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace

pid_t start_program(const std::vector<std::string>& args, const std::string& out_file) {
  std::vector<std::string> words = args;
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid = ::fork();
  if (pid == 0) {
    int fd = ::open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(fd, 1);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

ProgramRun run_program(const std::vector<std::string>& args) {
  char dir_template[] = "/tmp/arena-test-run.XXXXXX";
  fs::path dir = ::mkdtemp(dir_template);
  fs::path out = dir / "out", err = dir / "err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv;
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  ProgramRun run;
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  run.out = slurp(out);
  run.err = slurp(err);
  fs::remove_all(dir);
  return run;
}

void adopt_orphans() { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }

std::vector<pid_t> processes_with(std::string_view text, int patience_ms) {
  return wait_while_found(
      [&](const ProcInfo& info) { return info.cmdline.find(text) != std::string::npos; },
      patience_ms);
}

std::vector<pid_t> adopted_children(int patience_ms) {
  const pid_t self = ::getpid();
  auto children = [&](bool live_only) {
    std::vector<pid_t> found;
    for (const auto& info : all_processes()) {
      if (info.parent == self && (!live_only || info.state != 'Z')) found.push_back(info.pid);
    }
    return found;
  };
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(patience_ms);
  while (!children(true).empty() && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::vector<pid_t> found = children(false);
  reap_adopted_zombies();
  return found;
}

std::vector<pid_t> live_children(int patience_ms) {
  pid_t self = ::getpid();
  return wait_while_found([&](const ProcInfo& info) { return info.parent == self; }, patience_ms);
}

}  // namespace test_support
