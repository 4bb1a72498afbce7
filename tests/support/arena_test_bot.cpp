// A Zarvo player that misbehaves on purpose, for the arena's tests. It plays random legal moves
// and, on its answer number --at (default 1), does what --mode says:
//   crash       abort (ended by a signal)          fail       exit with status 3
//   exit        exit with status 0                 close      close its output, keep running
//   hang        never answer                       empty      answer an empty line
//   blank       answer blanks only                 words      answer several words
//   inject      a legal move followed by words the referee could take for the arena's replies
//   tag         answer a word that looks like an arena tag
//   flood       write without end, no newline      floodlines write lines without end
//   fork        start a child that sleeps for ever, then play on
//   forkexit    start such a child, then exit with status 0
//   memory      allocate and touch 1 GiB
//   linger      play normally but ignore "Quit" and the end of input
//   pwd         play normally; write the working directory to standard error
//   stoparena   send SIGTERM to the arena (its parent), then never answer
// Any argument it does not know (such as --marker=...) is ignored; tests put a marker in the
// command line to find leftover processes.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "players/bot_loop.h"
#include "referee/board.h"

namespace {

[[noreturn]] void sleep_for_ever() {
  for (;;) ::pause();
}

void write_all(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

// Does the misbehaviour; returns only for modes that still answer (with the answer to give).
std::string misbehave(const std::string& mode, const std::string& move_text) {
  if (mode == "crash") std::abort();
  if (mode == "fail") std::exit(3);
  if (mode == "exit") std::exit(0);
  if (mode == "close") {
    ::close(1);
    sleep_for_ever();
  }
  if (mode == "hang") sleep_for_ever();
  if (mode == "stoparena") {
    ::kill(::getppid(), SIGTERM);
    sleep_for_ever();
  }
  if (mode == "empty") return "";
  if (mode == "blank") return " \t ";
  if (mode == "words") return "I think " + move_text;
  if (mode == "inject") return move_text + " lock_ok <zarvo-arena-tag-i> lock_ok";
  if (mode == "tag") return "<zarvo-arena-tag-z>";
  if (mode == "flood") {
    std::string chunk(4096, 'x');
    for (;;) std::fwrite(chunk.data(), 1, chunk.size(), stdout);
  }
  if (mode == "errflood") {
    std::string chunk(64 * 1024, 'e');
    for (;;) std::fwrite(chunk.data(), 1, chunk.size(), stderr);
  }
  if (mode == "orphans") {
    // Leaves 200 short-lived orphans to the arena, waits, and reports how many of them the
    // arena still holds unreaped.
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
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
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
    std::fprintf(stderr, "zombies %d\n", zombies);
    return move_text;
  }
  if (mode == "fds") {
    // Lists the descriptors it holds beyond the standard three on its error output.
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
      std::string fd = entry.path().filename().string();
      if (std::atoi(fd.c_str()) > 2) std::fprintf(stderr, "fd %s\n", fd.c_str());
    }
    return move_text;
  }
  if (mode == "floodlines") {
    for (;;) std::fputs("xyz\n", stdout);
  }
  if (mode == "escape") {
    // A grandchild in a session of its own: out of reach of a kill of the player's group.
    if (::fork() == 0) {
      ::setsid();
      if (::fork() == 0) sleep_for_ever();
      std::exit(0);
    }
    return move_text;
  }
  if (mode == "fork" || mode == "forkexit") {
    if (::fork() == 0) sleep_for_ever();
    if (mode == "forkexit") std::exit(0);
    return move_text;
  }
  if (mode == "memory") {
    std::vector<char> block(std::size_t{1} << 30);
    for (std::size_t i = 0; i < block.size(); i += 4096) block[i] = 1;
    return move_text + (block[4096] == 1 ? "" : " ");
  }
  return move_text;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = "play";
  int at = 1;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.starts_with("--mode=")) mode = arg.substr(7);
    if (arg.starts_with("--at=")) at = std::atoi(arg.c_str() + 5);
  }
  if (mode == "pwd") std::cerr << "cwd=" << std::filesystem::current_path().string() << std::endl;
  if (mode == "linger") ::signal(SIGPIPE, SIG_IGN);

  std::mt19937 random(std::random_device{}());
  int answers = 0;
  follow_game([&](BotView& view, const move* moves, int count) {
    move chosen = moves[std::uniform_int_distribution<int>(0, count - 1)(random)];
    plaats(view.board, chosen);
    std::string text = answer_text(chosen);
    if (++answers == at) text = misbehave(mode, text);
    write_all(text + "\n");
    return true;
  });
  if (mode == "linger") sleep_for_ever();
  return 0;
}
