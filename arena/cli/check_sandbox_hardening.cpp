#include "arena/cli/check_sandbox_hardening.h"

#include <cstring>
#include <string>

#include "arena/sandbox/sandbox_policy.h"
#include "arena/sandbox/syscall_filter.h"
#include "arena/system/oom_score.h"

namespace arena::cli {
using namespace arena::sandbox;

namespace {

// The names, wrapped into lines of at most 96 characters after `indent`.
void print_names(std::ostream& out, const std::string& indent) {
  std::string line = indent;
  for (const RefusedCall& call : refused_calls()) {
    if (line.size() > indent.size() && line.size() + 1 + std::strlen(call.name) > 96) {
      out << line << "\n";
      line = indent;
    }
    if (line.size() > indent.size()) line += ' ';
    line += call.name;
  }
  out << line << "\n";
}

}  // namespace

bool print_hardening(std::ostream& out, const HostSupport& host) {
  bool filter_built = true;
  out << "system-call filter:\n";
  try {
    const std::size_t instructions = syscall_filter_program().size() / 8;
    out << "  on (libseccomp, " << instructions
        << " BPF instructions, handed to bwrap --seccomp; off with --no-syscall-filter)\n"
        << "  EPERM for:\n";
    print_names(out, "    ");
    for (const char* line : refused_call_arguments()) out << "  " << line << "\n";
  } catch (const std::exception& error) {
    out << "  FAILED: " << error.what() << "\n";
    filter_built = false;
  }
  // The memory limit itself is stated once, in what a sandboxed player gets.
  out << "scratch areas:\n";
  out << "  each scratch area (/tmp, /dev/shm, HOME, new files of the working directory) holds\n"
         "  at most the memory limit ("
      << kDefaultScratchMb
      << " MB without one); what a player writes there counts against the limit\n";
  out << "out-of-memory scores:\n";
  // What a game's arena does at its start, tried here.
  if (set_own_oom_score_adj(kArenaOomScoreAdj)) {
    out << "  arena and referee " << kArenaOomScoreAdj << ", players " << kPlayerOomScoreAdj
        << ": when memory runs out, the kernel ends a player first\n";
  } else {
    out << "  players " << kPlayerOomScoreAdj << "; the arena and the referee keep "
        << own_oom_score_adj() << ", since lowering it needs "
        << (host.root ? "CAP_SYS_RESOURCE, which this root lacks" : "root")
        << ":\n  the kernel still ends a player first, but might end the arena too\n";
  }
  return filter_built;
}

}  // namespace arena::cli
