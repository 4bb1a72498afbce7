// A Zarvo player that cheats, for the sandbox's tests. It plays random legal moves and, at its
// first tile, tries the one trick --trick=NAME names, writing the outcome to its standard error
// as "TRICK name: blocked (reason)" or "TRICK name: succeeded", then plays on:
//   kill      SIGKILL to the victim            stop      SIGSTOP to the victim (then SIGCONT)
//   stdin     open the victim's standard input through /proc/PID/fd/0 for writing
//   ptrace    attach to the victim             tiles     read the referee's tiles.txt, found
//                                                        through /proc/*/cwd or /tmp/zarvo-arena.*
//   readfile  read --path=FILE                 writeout  create --path=FILE
//   connect   TCP to 127.0.0.1:--port=N         procs     start 300 processes that sleep
//   leftover  create "cheat-leftover" in its working directory
//   memory    allocate and touch 1 GiB          forkbomb  processes that fork, up to 1000
//   hog       allocate and touch up to 4 GiB    tmpfs     write 48 MiB to /tmp, then allocate
//                                                         and touch 48 MiB
//   ponder    a thread that spins for the whole game; reported at the end of the game, with the
//             CPU time the bot used between its answers and its next lines: "succeeded" from
//             200 ms on
//   spin      six processes that spin on the CPU for the whole game
// --think-ms=N makes it take N ms of sleep before each answer, --burn-ms=N N ms of its own CPU
// time (an honest bot that thinks).
// The victim is every other process whose command line holds --victim=TEXT, or, without it,
// every process with the same parent. Other arguments (--marker=...) are ignored.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "players/bot_loop.h"
#include "referee/board.h"

namespace {

namespace fs = std::filesystem;

struct Options {
  std::string trick = "none";
  std::string victim;
  std::string path;
  int port = 0;
};

struct Outcome {
  bool succeeded = false;
  std::string reason;  // why it was blocked
};

Outcome blocked(const std::string& reason) { return {false, reason}; }
Outcome blocked_by_errno(const std::string& what) {
  return {false, what + ": " + std::strerror(errno)};
}
Outcome succeeded() { return {true, ""}; }

std::string read_file(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

pid_t parent_of(pid_t pid) {
  std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
  auto close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(stat.substr(close + 1));
  std::string state;
  pid_t parent = 0;
  fields >> state >> parent;
  return parent;
}

std::vector<pid_t> visible_processes() {
  std::vector<pid_t> pids;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    pid_t pid = std::atoi(entry.path().filename().c_str());
    if (pid > 0) pids.push_back(pid);
  }
  return pids;
}

std::vector<pid_t> victims(const Options& options) {
  const pid_t self = ::getpid();
  std::set<pid_t> ancestors;
  for (pid_t pid = parent_of(self); pid > 0 && ancestors.insert(pid).second;) pid = parent_of(pid);
  std::vector<pid_t> found;
  for (pid_t pid : visible_processes()) {
    if (pid == self || ancestors.count(pid)) continue;
    if (options.victim.empty()) {
      if (parent_of(pid) == parent_of(self)) found.push_back(pid);
      continue;
    }
    std::string command = read_file("/proc/" + std::to_string(pid) + "/cmdline");
    for (char& c : command) {
      if (c == '\0') c = ' ';
    }
    if (command.find(options.victim) != std::string::npos) found.push_back(pid);
  }
  return found;
}

template <typename Try>
Outcome on_victims(const Options& options, const std::string& what, Try attempt) {
  std::vector<pid_t> targets = victims(options);
  if (targets.empty()) return blocked("no other process in sight");
  std::string failure;
  for (pid_t pid : targets) {
    if (attempt(pid)) return succeeded();
    failure = what + " " + std::to_string(pid) + ": " + std::strerror(errno);
  }
  return blocked(failure);
}

Outcome find_tiles() {
  std::vector<fs::path> candidates;
  for (pid_t pid : visible_processes()) {
    candidates.push_back("/proc/" + std::to_string(pid) + "/cwd/tiles.txt");
  }
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/tmp", error)) {
    if (entry.path().filename().string().starts_with("zarvo-arena.")) {
      candidates.push_back(entry.path() / "tiles.txt");
    }
  }
  for (const fs::path& file : candidates) {
    std::ifstream in(file);
    std::string word;
    if (in >> word) return succeeded();
  }
  return blocked("no readable tiles.txt in /proc/*/cwd or /tmp/zarvo-arena.*");
}

Outcome connect_to(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return blocked_by_errno("socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int result = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  Outcome outcome = result == 0 ? succeeded() : blocked_by_errno("connect");
  if (result == 0) {
    const char hello[] = "cheater\n";
    [[maybe_unused]] auto ignored = ::write(fd, hello, sizeof hello - 1);
  }
  ::close(fd);
  return outcome;
}

Outcome start_processes(int count) {
  for (int i = 0; i < count; ++i) {
    pid_t child = ::fork();
    if (child == 0) {
      for (;;) ::pause();
    }
    if (child < 0) {
      return blocked_by_errno("fork after " + std::to_string(i) + " processes");
    }
  }
  return succeeded();
}

// Every bomber forks again until the shared count reaches the cap; a fork that fails is tried a
// few more times, slowly. Then they all wait for ever.
Outcome fork_bomb(int cap) {
  auto* shared = static_cast<std::atomic<int>*>(::mmap(nullptr, 2 * sizeof(std::atomic<int>),
                                                       PROT_READ | PROT_WRITE,
                                                       MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  if (shared == MAP_FAILED) return blocked_by_errno("mmap");
  std::atomic<int>& made = shared[0];
  std::atomic<int>& last_error = shared[1];
  made = 0;
  last_error = 0;
  pid_t root = ::fork();
  if (root < 0) return blocked_by_errno("fork");
  if (root == 0) {
    int failures = 0;
    while (made.load() < cap && failures < 20) {
      pid_t child = ::fork();
      if (child == 0) {
        ++made;
        failures = 0;
        continue;
      }
      if (child < 0) {
        last_error = errno;
        ++failures;
        ::usleep(10 * 1000);
      }
    }
    for (;;) ::pause();
  }
  for (int wait = 0; wait < 300 && made.load() < cap; ++wait) ::usleep(10 * 1000);
  int count = made.load();
  if (count >= cap) return succeeded();
  return blocked("stopped at " + std::to_string(count) +
                 " processes: " + std::strerror(last_error.load()));
}

std::vector<std::unique_ptr<char[]>> hoard;  // what the memory trick got, kept to the end

Outcome eat_memory(int mebibytes = 1024) {
  constexpr std::size_t kChunk = std::size_t{1} << 20;
  for (int i = 0; i < mebibytes; ++i) {
    char* block = new (std::nothrow) char[kChunk];
    if (!block) return blocked("allocation failed after " + std::to_string(i) + " MiB");
    std::memset(block, i & 0xff, kChunk);
    hoard.emplace_back(block);
  }
  return succeeded();
}

// Writes `mebibytes` into a file of the private /tmp, which is memory, not disk.
Outcome fill_tmp(int mebibytes) {
  int fd = ::open("/tmp/cheat-fill", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return blocked_by_errno("open /tmp/cheat-fill");
  std::vector<char> block(std::size_t{1} << 20, 'x');
  for (int i = 0; i < mebibytes; ++i) {
    if (::write(fd, block.data(), block.size()) != static_cast<ssize_t>(block.size())) {
      Outcome outcome =
          blocked_by_errno("write /tmp/cheat-fill after " + std::to_string(i) + " MiB");
      ::close(fd);
      return outcome;
    }
  }
  ::close(fd);
  return succeeded();
}

Outcome write_file(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return blocked_by_errno("open " + path);
  const char text[] = "written by the cheating bot\n";
  bool wrote = ::write(fd, text, sizeof text - 1) == sizeof text - 1;
  ::close(fd);
  return wrote ? succeeded() : blocked_by_errno("write " + path);
}

Outcome try_trick(const Options& options) {
  const std::string& trick = options.trick;
  if (trick == "kill") {
    return on_victims(options, "kill", [](pid_t pid) { return ::kill(pid, SIGKILL) == 0; });
  }
  if (trick == "stop") {
    return on_victims(options, "SIGSTOP", [](pid_t pid) {
      if (::kill(pid, SIGSTOP) != 0) return false;
      ::kill(pid, SIGCONT);
      return true;
    });
  }
  if (trick == "stdin") {
    return on_victims(options, "open stdin of", [](pid_t pid) {
      int fd = ::open(("/proc/" + std::to_string(pid) + "/fd/0").c_str(), O_WRONLY | O_NONBLOCK);
      if (fd < 0) return false;
      ::close(fd);
      return true;
    });
  }
  if (trick == "ptrace") {
    return on_victims(options, "ptrace", [](pid_t pid) {
      if (::ptrace(PTRACE_ATTACH, pid, nullptr, nullptr) != 0) return false;
      ::waitpid(pid, nullptr, __WALL);
      ::ptrace(PTRACE_DETACH, pid, nullptr, nullptr);
      return true;
    });
  }
  if (trick == "tiles") return find_tiles();
  if (trick == "readfile") {
    std::ifstream in(options.path, std::ios::binary);
    char c;
    if (in.get(c)) return succeeded();
    return blocked_by_errno("read " + options.path);
  }
  if (trick == "writeout") return write_file(options.path);
  if (trick == "connect") return connect_to(options.port);
  if (trick == "procs") return start_processes(300);
  if (trick == "leftover") return write_file("cheat-leftover");
  if (trick == "memory") return eat_memory();
  if (trick == "hog") return eat_memory(4096);
  if (trick == "tmpfs") {
    Outcome filled = fill_tmp(48);
    return filled.succeeded ? eat_memory(48) : filled;
  }
  if (trick == "forkbomb") return fork_bomb(1000);
  if (trick == "spin") {
    for (int i = 0; i < 6; ++i) {
      if (::fork() == 0) {
        std::atomic<unsigned long> counter{0};
        for (;;) counter.fetch_add(1, std::memory_order_relaxed);
      }
    }
    return succeeded();
  }
  return blocked("no such trick");
}

void report(const std::string& trick, const Outcome& outcome) {
  std::string line =
      "TRICK " + trick + ": " +
      (outcome.succeeded ? std::string("succeeded") : "blocked (" + outcome.reason + ")") + "\n";
  [[maybe_unused]] auto ignored = ::write(2, line.data(), line.size());
}

using Milliseconds = std::chrono::milliseconds;

// CPU time of the whole process, every thread included.
Milliseconds cpu_now() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return Milliseconds(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

int think_ms = 0;
int burn_ms = 0;

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.starts_with("--trick=")) options.trick = arg.substr(8);
    if (arg.starts_with("--victim=")) options.victim = arg.substr(9);
    if (arg.starts_with("--path=")) options.path = arg.substr(7);
    if (arg.starts_with("--port=")) options.port = std::atoi(arg.c_str() + 7);
    if (arg.starts_with("--think-ms=")) think_ms = std::atoi(arg.c_str() + 11);
    if (arg.starts_with("--burn-ms=")) burn_ms = std::atoi(arg.c_str() + 10);
  }
  // A cheater that is found out keeps playing: its children must not stop it through SIGPIPE.
  ::signal(SIGCHLD, SIG_IGN);

  std::mt19937 random(std::random_device{}());
  bool tried = false;
  const bool ponder = options.trick == "ponder";
  Milliseconds idle{0};
  std::optional<Milliseconds> answered_at;
  int status = follow_game([&](BotView& view, const move* moves, int count) {
    if (answered_at) idle += cpu_now() - *answered_at;
    if (!tried) {
      tried = true;
      if (ponder) {
        std::thread([] {
          std::atomic<unsigned long> counter{0};
          for (;;) counter.fetch_add(1, std::memory_order_relaxed);
        }).detach();
      } else {
        report(options.trick, try_trick(options));
      }
    }
    if (think_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(think_ms));
    for (Milliseconds until = cpu_now() + Milliseconds(burn_ms); cpu_now() < until;) {
    }
    move chosen = moves[std::uniform_int_distribution<int>(0, count - 1)(random)];
    plaats(view.board, chosen);
    std::string text = answer_text(chosen) + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    if (ponder) answered_at = cpu_now();
    return true;
  });
  if (ponder) {
    std::string used =
        std::to_string(idle.count()) + " ms of CPU between its answers and its lines";
    report("ponder", idle >= Milliseconds(200) ? Outcome{true, used} : blocked(used));
  }
  std::fflush(stderr);
  ::_exit(status);
}
