// What a process tree is doing at one moment, as the kernel shows it in /proc: for every thread
// of the tree, whether it runs and, when it waits, in which system call (/proc/PID/task/TID/
// syscall: the call's number and arguments, readable by root and by a process's own user). Read
// when a player ran out of time, to tell one blocked reading its standard input from one asleep
// or waiting on something else.
#pragma once

#include <sys/types.h>

#include <string>

namespace arena {

enum class TreeActivity {
  kUnknown,       // /proc showed no thread of the tree, or none it could tell about
  kRunning,       // a thread was on the CPU or ready for it
  kReadingInput,  // a thread was blocked reading its standard input (descriptor 0)
  kSleeping,      // a thread slept (nanosleep, pause, ...) and none read its input
  kWaiting,       // every thread waited in some other call (a lock, a child, poll, ...)
};

struct TreeWait {
  TreeActivity activity = TreeActivity::kUnknown;
  // kSleeping, kWaiting: the system call, by name where the table knows it ("read of
  // descriptor 3", "futex", "system call 7")
  std::string call;
};

// The most telling of what the threads of `root` and its descendants do, in the order above
// from kRunning on. bwrap's own processes (a sandbox's monitor and init, which only wait for
// the player) are passed over. Bounded in the processes and threads it reads.
TreeWait tree_wait(pid_t root);

}  // namespace arena
