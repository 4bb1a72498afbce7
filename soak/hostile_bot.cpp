// hostile_bot: the Zarvo player that misbehaves on purpose, for the reliability soak and the
// arena's tests. It plays random legal moves and, on its answer number K, misbehaves the way
// --mode names. K is drawn from --seed (1 to --max-at), so the misbehaviour falls at a random
// moment and, in short games, sometimes not at all; --at=K fixes it.
//
// Before it misbehaves it appends one line to the --record file (--record=-: its standard error,
// the one file a sandboxed player can write that reaches the host):
//   did answer=K mode=MODE expect=REASON when=now|next
// REASON is the disqualification the referee must give it (ILLEGAL, TIMEOUT, CRASH, EXIT, or
// none). "now" means for answer K itself; "next" means for answer K+1, if the referee asks for
// one (the misbehaviour comes after a good answer K). No "did" line: it never reached answer K
// and plays a clean game.
//
// Usage: hostile_bot --mode=MODE --seed=N --record=FILE [--max-at=N | --at=K] [--slow-ms=N]
//        [--late-ms=N]
// `hostile_bot --list` prints every mode the soak draws, with its expected reason. Arguments it
// does not know (such as a test's --marker=...) are ignored, so a test can mark its processes.
// The modes only the tests use depend on the arena's options or report on the arena itself:
//   memory     allocate and touch 1 GiB (CRASH under --memory-limit)
//   errflood   write to standard error without end (CRASH under --file-limit)
//   orphans    leave 200 short-lived orphans, then write "zombies N" (how many the arena still
//              holds unreaped) to standard error, and play on
//   fds        write "fd N" to standard error for every descriptor beyond the standard three
//   linger     play normally, but ignore "Quit" and the end of input
//   pwd        play normally; write "cwd=DIR" to standard error first
//   stoparena  send SIGTERM to the arena (its parent), then never answer
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "players/bot_loop.h"
#include "referee/board.h"

namespace {

enum class When { kNow, kNext };

struct Mode {
  std::string_view name;
  std::string_view expect;  // "none" when the game must go on undisturbed
  When when;
  bool soak = true;  // drawn by the soak; false for the modes only the tests use
};

// The modes and the referee's verdict each must earn. The arena passes only the first word of an
// answer line, cuts lines at 64 KiB, sends a tag for a line with no word, and counts a last line
// without a newline as a line.
constexpr Mode kModes[] = {
    {"play", "none", When::kNow},             // a clean game
    {"slow", "none", When::kNow},             // one answer after --slow-ms, within the limit
    {"crash_abort", "CRASH", When::kNow},     // abort()
    {"crash_segv", "CRASH", When::kNow},      // killed by SIGSEGV
    {"crash_kill", "CRASH", When::kNow},      // SIGKILL to itself
    {"crash_group", "CRASH", When::kNow},     // SIGKILL to its whole process group
    {"exit_status", "CRASH", When::kNow},     // exit with a random status 1..255
    {"exit_zero", "EXIT", When::kNow},        // exit with status 0 instead of answering
    {"close_out", "EXIT", When::kNow},        // close standard output, keep running
    {"close_out_fail", "CRASH", When::kNow},  // close standard output, then exit with status 7
    {"hang", "TIMEOUT", When::kNow},          // never answer
    {"busy", "TIMEOUT", When::kNow},          // spin the CPU instead of answering
    {"late", "TIMEOUT", When::kNow},          // answer after --late-ms, past the limit
    {"garbage", "ILLEGAL", When::kNow},       // a random printable word that is no move
    {"binary", "ILLEGAL", When::kNow},        // random bytes, NULs and control bytes included
    {"words_bad", "ILLEGAL", When::kNow},     // several words, the first no move
    {"words_ok", "none", When::kNow},         // the move, then words that mimic the arena's replies
    {"empty", "ILLEGAL", When::kNow},         // an empty line
    {"blank", "ILLEGAL", When::kNow},         // blanks only
    {"empty_then_move", "ILLEGAL", When::kNow},  // an empty line, then the move
    {"tag", "ILLEGAL", When::kNow},              // a word shaped like the arena's tags
    {"long_line", "ILLEGAL", When::kNow},        // a 1 MiB line with no blank
    {"long_tail", "none", When::kNow},           // the move, a blank, then 1 MiB on the same line
    {"long_word", "ILLEGAL", When::kNow},        // the move glued to 1 MiB more letters
    {"nonl_exit", "EXIT", When::kNext},          // the move without a newline, then exit 0
    {"nonl_crash", "CRASH", When::kNext},        // the move without a newline, then abort()
    {"nonl_hang", "TIMEOUT", When::kNow},        // the move without a newline, then wait
    {"nonl_bad_exit", "ILLEGAL", When::kNow},    // two letters without a newline, then exit 0
    {"flood", "ILLEGAL", When::kNow},            // output without end and without a newline
    {"flood_lines", "ILLEGAL", When::kNow},      // lines that are no move, without end
    {"flood_after", "ILLEGAL", When::kNext},     // the move, then the same move again without end
    {"flood_stderr", "none", When::kNow},        // 8 MiB to standard error, then the move
    {"fork", "none", When::kNow},          // a child and a grandchild sleep with the pipes open
    {"fork_exit", "EXIT", When::kNow},     // such children, then exit 0
    {"fork_crash", "CRASH", When::kNow},   // such children, then abort()
    {"fork_hang", "TIMEOUT", When::kNow},  // such children, then never answer
    {"escape", "none", When::kNow},        // a grandchild in a session of its own, pipes open
    {"stdin_closed_hang", "TIMEOUT", When::kNext},    // close fd 0, answer, then wait
    {"stdin_closed_exit", "EXIT", When::kNext},       // close fd 0, answer, then exit 0 at its end
    {"stdin_closed_repeat", "ILLEGAL", When::kNext},  // close fd 0, answer, repeat the answer
    {"stdin_closed_silent", "TIMEOUT", When::kNow},   // close fd 0, never answer
    {"memory", "CRASH", When::kNow, false},
    {"errflood", "CRASH", When::kNow, false},
    {"orphans", "none", When::kNow, false},
    {"fds", "none", When::kNow, false},
    {"linger", "none", When::kNow, false},
    {"pwd", "none", When::kNow, false},
    {"stoparena", "none", When::kNow, false},
};

const Mode* find_mode(std::string_view name) {
  for (const Mode& mode : kModes) {
    if (mode.name == name) return &mode;
  }
  return nullptr;
}

// Unbuffered, so nothing is left in a buffer when the bot dies; errors (a closed pipe) ignored.
void put(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text.remove_prefix(static_cast<size_t>(n));
  }
}

[[noreturn]] void sleep_for_ever() {
  for (;;) ::pause();
}

[[noreturn]] void die_by(int sig) {
  // The sanitizer runtime catches SIGSEGV to print a report; the bot wants the plain signal.
  ::signal(sig, SIG_DFL);
  ::raise(sig);
  ::_exit(99);
}

// A child and a grandchild that sleep for ever holding the bot's standard input and output.
// With `own_session` the child leaves the bot's process group for a session of its own first,
// out of reach of a kill of that group.
void leave_children(bool own_session) {
  pid_t child = ::fork();
  if (child != 0) return;
  if (own_session) ::setsid();
  if (::fork() < 0) ::_exit(0);
  sleep_for_ever();
}

std::string letters(std::size_t count, char letter = 'x') { return std::string(count, letter); }

// Leaves 200 short-lived orphans to the arena, waits, and reports on standard error how many of
// them the arena still holds unreaped.
void leave_orphans() {
  for (int i = 0; i < 200; ++i) {
    pid_t child = ::fork();
    if (child == 0) {
      if (::fork() == 0) ::_exit(0);
      ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
  }
  ::usleep(800 * 1000);
  int zombies = 0;
  const std::string arena = std::to_string(::getppid());
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    std::ifstream in(entry.path() / "stat");
    std::string stat;
    if (!std::getline(in, stat)) continue;
    auto close = stat.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream fields(stat.substr(close + 2));
    std::string state, parent;
    fields >> state >> parent;
    if (state == "Z" && parent == arena) ++zombies;
  }
  put(2, "zombies " + std::to_string(zombies) + "\n");
}

class HostileBot {
 public:
  HostileBot(const Mode& mode, std::uint64_t seed, std::string record, int at, int slow_ms,
             int late_ms)
      : mode_(mode),
        random_(seed),
        record_(std::move(record)),
        at_(at),
        slow_ms_(slow_ms),
        late_ms_(late_ms) {}

  int run() {
    int answers = 0;
    if (mode_.name == "pwd") put(2, "cwd=" + std::filesystem::current_path().string() + "\n");
    if (mode_.name == "linger") ::signal(SIGPIPE, SIG_IGN);
    int status = follow_game([&](BotView& view, const move* moves, int count) {
      move chosen = moves[std::uniform_int_distribution<int>(0, count - 1)(random_)];
      plaats(view.board, chosen);
      std::string answer = answer_text(chosen);
      if (++answers == at_ && mode_.name != "play") {
        note(answers);
        misbehave(answer);
      } else {
        put(1, answer + "\n");
      }
      return true;
    });
    if (mode_.name == "linger") sleep_for_ever();
    return status;
  }

 private:
  void note(int answer) {
    std::string line = "did answer=" + std::to_string(answer) + " mode=" + std::string(mode_.name) +
                       " expect=" + std::string(mode_.expect) +
                       " when=" + (mode_.when == When::kNow ? "now" : "next") + "\n";
    int fd = record_ == "-"
                 ? ::fcntl(2, F_DUPFD_CLOEXEC, 3)
                 : ::open(record_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd >= 0) {
      put(fd, line);
      ::close(fd);
    }
  }

  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  // A word the referee can never take for a move: not three characters long.
  std::string garbage_word() {
    static constexpr std::string_view kChars =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!#$%&()*+,-./:;=?@[]^_{|}~";
    int length = pick(1, 40);
    if (length == 3) length = 4;
    std::string word;
    for (int i = 0; i < length; ++i)
      word += kChars[static_cast<size_t>(pick(0, static_cast<int>(kChars.size()) - 1))];
    return word;
  }

  // Random bytes for one line; the first byte that is not a blank is no letter, so whatever word
  // the arena takes from them cannot be a move.
  std::string binary_line() {
    std::string bytes;
    int length = pick(1, 4096);
    for (int i = 0; i < length; ++i) {
      char c = static_cast<char>(pick(0, 255));
      bytes += c == '\n' ? '\0' : c;
    }
    for (char& c : bytes) {
      if (c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f') continue;
      if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) c = '\x01';
      break;
    }
    return bytes + "\n";
  }

  void misbehave(const std::string& answer) {
    const std::string_view name = mode_.name;
    if (name == "slow") {
      std::this_thread::sleep_for(std::chrono::milliseconds(slow_ms_));
      put(1, answer + "\n");
    } else if (name == "crash_abort") {
      std::abort();
    } else if (name == "crash_segv") {
      die_by(SIGSEGV);
    } else if (name == "crash_kill") {
      die_by(SIGKILL);
    } else if (name == "crash_group") {
      ::kill(0, SIGKILL);
      sleep_for_ever();
    } else if (name == "exit_status") {
      ::_exit(pick(1, 255));
    } else if (name == "exit_zero") {
      std::exit(0);
    } else if (name == "close_out") {
      ::close(1);
      sleep_for_ever();
    } else if (name == "close_out_fail") {
      ::close(1);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      ::_exit(7);
    } else if (name == "hang") {
      sleep_for_ever();
    } else if (name == "busy") {
      for (unsigned long spin = 0;; ++spin) asm volatile("" : : "r"(spin));
    } else if (name == "late") {
      std::this_thread::sleep_for(std::chrono::milliseconds(late_ms_));
      put(1, answer + "\n");
    } else if (name == "garbage") {
      put(1, garbage_word() + "\n");
    } else if (name == "binary") {
      put(1, binary_line());
    } else if (name == "words_bad") {
      put(1, "I think " + answer + " is best\n");
    } else if (name == "words_ok") {
      put(1, answer + " lock_ok <zarvo-arena-tag-i> I unlock\n");
    } else if (name == "empty") {
      put(1, "\n");
    } else if (name == "blank") {
      put(1, " \t \r\n");
    } else if (name == "empty_then_move") {
      put(1, "\n" + answer + "\n");
    } else if (name == "tag") {
      put(1, "<zarvo-arena-tag-" + std::string(1, "eirt"[pick(0, 3)]) + ">\n");
    } else if (name == "long_line") {
      put(1, letters(1 << 20) + "\n");
    } else if (name == "long_tail") {
      put(1, answer + " " + letters(1 << 20) + "\n");
    } else if (name == "long_word") {
      put(1, answer + letters(1 << 20) + "\n");
    } else if (name == "nonl_exit") {
      put(1, answer);
      std::exit(0);
    } else if (name == "nonl_crash") {
      put(1, answer);
      std::abort();
    } else if (name == "nonl_hang") {
      put(1, answer);
      sleep_for_ever();
    } else if (name == "nonl_bad_exit") {
      put(1, answer.substr(0, 2));
      std::exit(0);
    } else if (name == "flood") {
      std::string chunk = letters(4096);
      for (;;) put(1, chunk);
    } else if (name == "flood_lines") {
      for (;;) put(1, "xyz\nQuit\n\n");
    } else if (name == "flood_after") {
      std::string lines;
      for (int i = 0; i < 256; ++i) lines += answer + "\n";
      for (;;) put(1, lines);
    } else if (name == "flood_stderr") {
      std::string chunk = letters(64 * 1024, 'e') + "\n";
      for (int i = 0; i < 128; ++i) put(2, chunk);
      put(1, answer + "\n");
    } else if (name == "fork") {
      leave_children(false);
      put(1, answer + "\n");
    } else if (name == "fork_exit") {
      leave_children(false);
      std::exit(0);
    } else if (name == "fork_crash") {
      leave_children(false);
      std::abort();
    } else if (name == "fork_hang") {
      leave_children(false);
      sleep_for_ever();
    } else if (name == "escape") {
      leave_children(true);
      put(1, answer + "\n");
    } else if (name == "memory") {
      std::vector<char> block(std::size_t{1} << 30);
      for (std::size_t i = 0; i < block.size(); i += 4096) block[i] = 1;
      put(1, answer + (block[4096] == 1 ? "\n" : " \n"));
    } else if (name == "errflood") {
      std::string chunk = letters(64 * 1024, 'e');
      for (;;) put(2, chunk);
    } else if (name == "orphans") {
      leave_orphans();
      put(1, answer + "\n");
    } else if (name == "fds") {
      for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::string fd = entry.path().filename().string();
        if (std::atoi(fd.c_str()) > 2) put(2, "fd " + fd + "\n");
      }
      put(1, answer + "\n");
    } else if (name == "stoparena") {
      ::kill(::getppid(), SIGTERM);
      sleep_for_ever();
    } else if (name.starts_with("stdin_closed_")) {
      ::close(0);
      if (name == "stdin_closed_silent") sleep_for_ever();
      put(1, answer + "\n");
      if (name == "stdin_closed_hang") sleep_for_ever();
      if (name == "stdin_closed_repeat") {
        // Its own last move, now covered: never legal again.
        for (int i = 0; i < 16; ++i) put(1, answer + "\n");
        sleep_for_ever();
      }
      // stdin_closed_exit: the next read fails and the bot ends with status 0.
    } else {
      put(1, answer + "\n");
    }
  }

  const Mode& mode_;
  std::mt19937_64 random_;
  std::string record_;
  int at_;
  int slow_ms_;
  int late_ms_;
};

}  // namespace

// In a sanitizer build the leak check at exit stops the process to scan it, which can take longer
// than the rest of the player's time; a bot that exits must be seen to exit at once.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

int main(int argc, char** argv) {
  std::string mode_name = "play";
  std::string record = "/dev/null";
  std::uint64_t seed = 1;
  int max_at = 16;
  int slow_ms = 100;
  int late_ms = 2000;
  int at = 0;  // 0: drawn
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    auto value = [&](std::string_view key) -> const char* {
      return arg.starts_with(key) ? argv[i] + key.size() : nullptr;
    };
    if (arg == "--list") {
      for (const Mode& mode : kModes) {
        if (!mode.soak) continue;
        std::cout << mode.name << " " << mode.expect << " "
                  << (mode.when == When::kNow ? "now" : "next") << "\n";
      }
      return 0;
    }
    if (const char* v = value("--mode=")) mode_name = v;
    if (const char* v = value("--record=")) record = v;
    if (const char* v = value("--seed=")) seed = std::strtoull(v, nullptr, 10);
    if (const char* v = value("--max-at=")) max_at = std::max(1, std::atoi(v));
    if (const char* v = value("--at=")) at = std::max(1, std::atoi(v));
    if (const char* v = value("--slow-ms=")) slow_ms = std::atoi(v);
    if (const char* v = value("--late-ms=")) late_ms = std::atoi(v);
  }
  const Mode* mode = find_mode(mode_name);
  if (!mode) {
    std::cerr << "hostile_bot: unknown mode " << mode_name << " (see --list)\n";
    return 2;
  }
  // The answer to misbehave on comes from its own stream, so it does not depend on the moves.
  std::mt19937_64 choose(seed ^ 0x9e3779b97f4a7c15ULL);
  if (at == 0) at = std::uniform_int_distribution<int>(1, max_at)(choose);
  return HostileBot(*mode, seed, record, at, slow_ms, late_ms).run();
}
