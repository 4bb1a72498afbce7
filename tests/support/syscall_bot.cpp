// A Zarvo player that probes the system-call filter of its sandbox, for the sandbox's tests.
// Before its first answer it makes every call the filter refuses (each with harmless
// arguments), then the calls refused only with some arguments, a call of each foreign ABI, and
// a few that must keep working, and writes one line per call to its standard error:
//   SYSCALL name: EPERM       (the errno's name, or "ok" when the call succeeded)
// followed by "SYSCALLS done". Then it plays random legal moves to the end of the game.
#include <sched.h>
#include <seccomp.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/personality.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>

#include "arena/sandbox/syscall_filter.h"
#include "players/bot_loop.h"

extern char** environ;

namespace {

void report(const std::string& name, long result) {
  std::string outcome = "ok";
  if (result < 0) {
    const char* errno_name = strerrorname_np(errno);
    outcome = errno_name ? errno_name : "errno " + std::to_string(errno);
  }
  std::string line = "SYSCALL " + name + ": " + outcome + "\n";
  [[maybe_unused]] auto ignored = ::write(2, line.data(), line.size());
}

// A new child from clone or clone3 (should the filter let it through) ends at once.
long reaped(long pid) {
  if (pid == 0) ::_exit(0);
  if (pid > 0) ::waitpid(static_cast<pid_t>(pid), nullptr, 0);
  return pid;
}

#if defined(__x86_64__)
// getpid through the i386 ABI (int 0x80, call 20), as a 32-bit program would make it.
long i386_getpid() {
  long result = 20;
  asm volatile("int $0x80" : "+a"(result) : : "memory");
  if (result < 0 && result > -4096) {
    errno = static_cast<int>(-result);
    return -1;
  }
  return result;
}

// In a child of its own: a kernel without the i386 ABI ends the caller with SIGSEGV, reported
// as "not offered (signal N)".
void i386_probe() {
  pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGSEGV, SIG_DFL);  // a sanitizer's handler would turn the signal into an exit
    report("i386 getpid", i386_getpid());
    ::_exit(0);
  }
  int status = 0;
  if (child > 0 && ::waitpid(child, &status, 0) == child && WIFSIGNALED(status)) {
    std::string line =
        "SYSCALL i386 getpid: not offered (signal " + std::to_string(WTERMSIG(status)) + ")\n";
    [[maybe_unused]] auto ignored = ::write(2, line.data(), line.size());
  }
}
#endif

void probe() {
  // Every call the filter refuses outright, with arguments that harm nothing should it pass.
  for (const arena::sandbox::RefusedCall& call : arena::sandbox::refused_calls()) {
    int number = seccomp_syscall_resolve_name(call.name);
    report(call.name, ::syscall(number, 0, 0, 0, 0, 0, 0));
  }
  long result = ::personality(PER_LINUX32);
  report("personality(PER_LINUX32)", result);
  if (result >= 0) ::personality(PER_LINUX);
  report("personality(PER_LINUX)", ::personality(PER_LINUX));
  report("clone(CLONE_NEWUTS)",
         reaped(::syscall(SYS_clone, CLONE_NEWUTS | SIGCHLD, nullptr, nullptr, nullptr, 0)));
  std::uint64_t args[8] = {};  // struct clone_args of its first version: exit_signal is [4]
  args[4] = SIGCHLD;
  report("clone3", reaped(::syscall(SYS_clone3, args, sizeof args)));
  char letter = 'x';
  report("ioctl(TIOCSTI)", ::ioctl(0, TIOCSTI, &letter));
#if defined(__x86_64__)
  report("x32 getpid", ::syscall(0x40000000 | SYS_getpid));
  i386_probe();
#endif

  // What programs need must still work: threads and process starts (clone3 refused, the C
  // library falls back to clone).
  bool ran = false;
  std::thread([&] { ran = true; }).join();
  errno = EINVAL;
  report("thread", ran ? 0 : -1);
  pid_t child = 0;
  char true_name[] = "true";
  char* argv[] = {true_name, nullptr};
  int status = -1;
  int spawn_error = ::posix_spawn(&child, "/bin/true", nullptr, nullptr, argv, environ);
  if (spawn_error == 0) ::waitpid(child, &status, 0);
  errno = spawn_error != 0 ? spawn_error : ECHILD;
  report("posix_spawn", spawn_error == 0 && status == 0 ? 0 : -1);
  static const char done[] = "SYSCALLS done\n";
  [[maybe_unused]] auto ignored = ::write(2, done, sizeof done - 1);
}

}  // namespace

int main() {
  std::mt19937 random(std::random_device{}());
  bool probed = false;
  return follow_game([&](BotView& view, const move* moves, int count) {
    if (!probed) {
      probed = true;
      probe();
    }
    move chosen = moves[std::uniform_int_distribution<int>(0, count - 1)(random)];
    plaats(view.board, chosen);
    std::string text = answer_text(chosen) + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    return true;
  });
}
