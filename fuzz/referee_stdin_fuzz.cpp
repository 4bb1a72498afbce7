// Fuzz target: the whole referee program fed arbitrary manager input on its standard input.
//
// Every input runs one game of the real referee (main renamed zarvo_referee_main, random source
// on a fixed seed) in a forked child, in a scratch working directory, with the game log under
// refereelogs/. The child's standard input is the input bytes (then end of file), its standard
// output and error go to files. A run is good when it ends in one of two ways:
//   - status 0, and the last line written is the "M report" line (a game played to its end, or
//     ended by a double disqualification), with the replay page beside the game log;
//   - status 1 with a message on standard error and no "M report" (a clean stop).
// Anything else traps: a signal (assertions abort), another status, a sanitizer report, a run
// that takes longer than kTimeLimitSeconds, or a status without its evidence.
//
// An input may start with set-up sections, each beginning with a marker line; the manager input
// follows "%stdin" (an input without a leading "%" is manager input as a whole):
//   %tiles     the following lines, up to the next line starting with "%", are "tiles.txt"
//   %referee   likewise for "referee.txt"
//   %seed HEX  128 hex digits: the seed of the random source (otherwise 64 zero bytes)
//   %nolog     no game log argument
//
// Under libFuzzer the child's coverage counters are copied back into the parent's at the end of
// the child, so that libFuzzer sees the game's coverage as if the game ran in process.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

#include "fuzz/scratch_dir.h"

#if defined(__SANITIZE_ADDRESS__)
#define ZARVO_FUZZ_HAS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(undefined_behavior_sanitizer)
#define ZARVO_FUZZ_HAS_SANITIZER 1
#endif
#endif
#ifdef ZARVO_FUZZ_HAS_SANITIZER
#include <sanitizer/common_interface_defs.h>
#endif

int zarvo_referee_main(int argc, char** argv);

#ifdef ZARVO_LIBFUZZER
// The 8-bit coverage counters of every instrumented module, laid out by the linker.
extern "C" uint8_t __start___sancov_cntrs[] __attribute__((weak, visibility("hidden")));
extern "C" uint8_t __stop___sancov_cntrs[] __attribute__((weak, visibility("hidden")));
#endif

namespace {

constexpr int kTimeLimitSeconds = 10;

struct Setup {
  bool log = true;
  bool has_tiles = false;
  bool has_referee = false;
  std::string_view tiles;
  std::string_view referee;
  std::string seed;  // empty: the stand-in's default seed
  std::string_view input;
};

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// A section body: everything up to the next line that starts with "%".
std::string_view take_section(std::string_view& rest) {
  size_t end = rest.find("\n%");
  std::string_view body = rest.substr(0, end == std::string_view::npos ? rest.size() : end + 1);
  rest.remove_prefix(body.size());
  return body;
}

Setup parse_setup(std::string_view data) {
  Setup setup;
  std::string_view rest = data;
  while (starts_with(rest, "%")) {
    if (starts_with(rest, "%stdin\n")) {
      rest.remove_prefix(7);
      break;
    }
    if (starts_with(rest, "%nolog\n")) {
      setup.log = false;
      rest.remove_prefix(7);
    } else if (starts_with(rest, "%tiles\n")) {
      rest.remove_prefix(7);
      setup.has_tiles = true;
      setup.tiles = take_section(rest);
    } else if (starts_with(rest, "%referee\n")) {
      rest.remove_prefix(9);
      setup.has_referee = true;
      setup.referee = take_section(rest);
    } else if (starts_with(rest, "%seed ") && rest.size() >= 6 + 128 + 1 && rest[134] == '\n') {
      std::string hex(rest.substr(6, 128));
      if (hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) break;
      setup.seed = hex;
      rest.remove_prefix(135);
    } else {
      break;  // not a section marker: manager input from here on
    }
  }
  setup.input = rest;
  return setup;
}

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "referee_stdin: %s\n", what);
  std::fflush(stderr);
  __builtin_trap();
}

void write_file(const std::string& path, std::string_view bytes) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) fail("cannot create a scratch file");
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail("cannot write a scratch file");
    done += static_cast<size_t>(n);
  }
  close(fd);
}

std::string read_file(const std::string& path) {
  std::string text;
  int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0) return text;
  char chunk[65536];
  for (;;) {
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(chunk, static_cast<size_t>(n));
  }
  close(fd);
  return text;
}

// The scratch working directory, with the refereelogs/ folder the log path names.
const std::string& scratch_dir() {
  static const std::string dir = make_scratch_dir("referee", {"refereelogs"});
  return dir;
}

#ifdef ZARVO_LIBFUZZER
size_t counter_count() {
  if (__start___sancov_cntrs == nullptr || __stop___sancov_cntrs == nullptr) return 0;
  return static_cast<size_t>(__stop___sancov_cntrs - __start___sancov_cntrs);
}

// Shared between parent and child: the child's counters at its end.
uint8_t* child_counters() {
  static uint8_t* shared = [] {
    size_t n = counter_count();
    if (n == 0) return static_cast<uint8_t*>(nullptr);
    void* p = mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) fail("cannot map the shared coverage counters");
    return static_cast<uint8_t*>(p);
  }();
  return shared;
}
#endif

// Runs at the child's exit, after the referee's own exit handler: hands the coverage to the
// parent and ends the child with the referee's status, before any handler of the fuzzing
// engine (inherited from the parent) can take over the exit.
void child_end(int status, void*) {
  std::fflush(nullptr);
#ifdef ZARVO_LIBFUZZER
  if (uint8_t* shared = child_counters())
    std::memcpy(shared, __start___sancov_cntrs, counter_count());
#endif
  _exit(status);
}

[[noreturn]] void run_child(const Setup& setup, const std::string& dir) {
  if (chdir(dir.c_str()) != 0) _exit(97);
  int in = open("stdin.bin", O_RDONLY);
  int out = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int err = open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || out < 0 || err < 0) _exit(97);
  dup2(in, 0);
  dup2(out, 1);
  dup2(err, 2);
  close(in);
  close(out);
  close(err);
  clearerr(stdin);
#ifdef ZARVO_FUZZ_HAS_SANITIZER
  __sanitizer_set_report_path((dir + "/sanitizer").c_str());
#endif
#ifdef ZARVO_LIBFUZZER
  if (counter_count() != 0) std::memset(__start___sancov_cntrs, 0, counter_count());
#endif
  if (setup.seed.empty()) {
    unsetenv("ZARVO_TEST_SEED");
  } else {
    setenv("ZARVO_TEST_SEED", setup.seed.c_str(), 1);
  }
  on_exit(child_end, nullptr);

  std::string log_path = dir + "/refereelogs/alpha-beta.1.log";
  char program[] = "zarvo-checker";
  char* argv[] = {program, log_path.data(), nullptr};
  std::exit(zarvo_referee_main(setup.log ? 2 : 1, argv));
}

// Waits for the child; false when it was still running at the time limit (it is then killed).
// A pidfd turns the child's end into an event that poll can wait for with a deadline.
bool wait_child(pid_t child, int* status) {
  const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, child, 0));
  if (pidfd < 0) fail("pidfd_open failed");
  pollfd ended{pidfd, POLLIN, 0};
  int ready;
  do {
    ready = poll(&ended, 1, kTimeLimitSeconds * 1000);
  } while (ready < 0 && errno == EINTR);
  close(pidfd);
  if (ready == 0) kill(child, SIGKILL);
  while (waitpid(child, status, 0) < 0) {
    if (errno != EINTR) fail("waitpid failed");
  }
  return ready != 0;
}

void show(const char* label, const std::string& text) {
  std::fprintf(stderr, "---- %s (%zu bytes) ----\n%.4000s\n", label, text.size(), text.c_str());
}

std::string last_line(const std::string& text) {
  if (text.empty()) return text;
  size_t end = text.back() == '\n' ? text.size() - 1 : text.size();
  size_t begin = text.rfind('\n', end == 0 ? 0 : end - 1);
  begin = begin == std::string::npos ? 0 : begin + 1;
  return text.substr(begin, end - begin);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Setup setup = parse_setup(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string& dir = scratch_dir();

  for (const char* name : {"/tiles.txt", "/referee.txt", "/refereelogs/alpha-beta.1.log",
                           "/refereelogs/alpha-beta.1.html"}) {
    unlink((dir + name).c_str());
  }
  if (setup.has_tiles) write_file(dir + "/tiles.txt", setup.tiles);
  if (setup.has_referee) write_file(dir + "/referee.txt", setup.referee);
  write_file(dir + "/stdin.bin", setup.input);

#ifdef ZARVO_LIBFUZZER
  uint8_t* shared = child_counters();
  if (shared != nullptr) std::memset(shared, 0, counter_count());
#endif
  std::fflush(nullptr);
  pid_t child = fork();
  if (child < 0) fail("fork failed");
  if (child == 0) run_child(setup, dir);

  int status = 0;
  const bool ended = wait_child(child, &status);
#ifdef ZARVO_LIBFUZZER
  if (shared != nullptr) {
    uint8_t* mine = __start___sancov_cntrs;
    for (size_t i = 0, n = counter_count(); i < n; ++i) {
      unsigned sum = mine[i] + shared[i];
      mine[i] = static_cast<uint8_t>(sum > 255 ? 255 : sum);
    }
  }
#endif

  const std::string out = read_file(dir + "/stdout.txt");
  const std::string err = read_file(dir + "/stderr.txt");
  const std::string game_log = read_file(dir + "/refereelogs/alpha-beta.1.log");
  // A sanitizer writes its report to "sanitizer.<pid>" of the child.
  const std::string report = dir + "/sanitizer." + std::to_string(child);
  const std::string sanitizer = read_file(report);
  unlink(report.c_str());

  const char* fault = nullptr;
  if (!ended) {
    fault = "the referee did not end within the time limit";
  } else if (!sanitizer.empty()) {
    fault = "a sanitizer reported an error";
  } else if (WIFSIGNALED(status)) {
    fault = "the referee ended by a signal";
  } else if (!WIFEXITED(status) || (WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != 1)) {
    fault = "the referee ended with a status other than 0 or 1";
  } else if (WEXITSTATUS(status) == 0 && last_line(out).rfind("M report ", 0) != 0) {
    fault = "status 0 without the \"M report\" line at the end";
  } else if (WEXITSTATUS(status) == 0 && setup.log &&
             access((dir + "/refereelogs/alpha-beta.1.html").c_str(), F_OK) != 0) {
    fault = "status 0 with a log path but no replay page";
  } else if (WEXITSTATUS(status) == 1 && err.empty() &&
             game_log.find("\nError: ") == std::string::npos && !(setup.has_tiles && !setup.log)) {
    // A set-up refusal (reportError) writes its message into the game log only; without a log
    // it has nowhere to go, which is accepted here for a refused tile script.
    fault = "status 1 without a message on standard error or in the game log";
  } else if (WEXITSTATUS(status) == 1 && out.find("M report ") != std::string::npos) {
    fault = "status 1 after an \"M report\" line";
  }
  if (fault != nullptr) {
    std::fprintf(stderr, "referee_stdin: %s (wait status %d)\n", fault, status);
    show("standard output", out);
    show("standard error", err);
    show("sanitizer", sanitizer);
    fail(fault);
  }
  return 0;
}
