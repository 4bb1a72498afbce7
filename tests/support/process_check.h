// Running a program from a test, and finding processes a test has left behind.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace test_support {

struct ProgramRun {
  int status = -1;  // exit status, or 128 + signal
  std::string out;
  std::string err;
};

// Runs `args` (args[0] is the program path) to its end, capturing standard output and error.
ProgramRun run_program(const std::vector<std::string>& args);

// Starts `args` (args[0] is the program path) without waiting for it, its standard output
// going to `out_file`; returns its process id (-1 when it cannot be started), for the caller to
// signal and wait for.
pid_t start_program(const std::vector<std::string>& args, const std::string& out_file);

// Makes this process the reaper of its orphaned descendants, so that a process a child leaves
// behind becomes visible as a child of the test.
void adopt_orphans();

// Live (not zombie) processes other than this one whose command line holds `text`; the
// search is repeated for up to `patience_ms` while any is found, since a killed process takes a
// moment to go. Zombies adopted by this process are reaped on the way.
std::vector<pid_t> processes_with(std::string_view text, int patience_ms = 2000);

// Every child of this process, ended or not, once the live ones have had up to `patience_ms`
// to end: a program that reaps its descendants leaves none, not even a zombie. The zombies are
// reaped afterwards.
std::vector<pid_t> adopted_children(int patience_ms = 2000);

// Live children of this process (orphans adopted through adopt_orphans()), after the same wait.
std::vector<pid_t> live_children(int patience_ms = 2000);

}  // namespace test_support
