// Reading /proc/PID/stat, the kernel's one-line record of a process.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace arena {

// The fields of /proc/PID/stat from the third on (state, parent, ...), so that field N of
// proc(5) is element N - 3; empty when the process is gone. The command name (field 2) may hold
// blanks and parentheses, so the fields are counted from the last ')'.
std::vector<std::string> proc_stat_fields(pid_t pid);

struct ProcessStat {
  pid_t pid;
  std::vector<std::string> fields;  // as proc_stat_fields gives them
};
// Every process of /proc that could be read, each with its stat fields.
std::vector<ProcessStat> all_process_stats();

}  // namespace arena
