#include "arena/sandbox/player_fifos.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <system_error>

#include "arena/sandbox/cgroup_files.h"

namespace arena::sandbox {
namespace fs = std::filesystem;

PlayerFifos::PlayerFifos(const std::optional<Identity>& identity) {
  std::string pattern =
      (fs::temp_directory_path() / (std::string(kPipesDirPrefix) + "XXXXXX")).string();
  if (!::mkdtemp(pattern.data())) {
    throw SandboxError("cannot make a directory for a player's pipes: " + errno_text());
  }
  dir_ = pattern;
  try {
    if (identity && ::chown(dir_.c_str(), identity->uid, identity->gid) != 0) {
      throw SandboxError("cannot hand " + dir_.string() + " to user " +
                         std::to_string(identity->uid) + ": " + errno_text());
    }
    output_ = make("stdout", identity);
    started_ = make("started", identity);
  } catch (...) {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
    throw;
  }
}

UniqueFd PlayerFifos::make(const char* name, const std::optional<Identity>& identity) {
  fs::path fifo = dir_ / name;
  if (::mkfifo(fifo.c_str(), 0600) != 0) {
    throw SandboxError("cannot make " + fifo.string() + ": " + errno_text());
  }
  if (identity && ::chown(fifo.c_str(), identity->uid, identity->gid) != 0) {
    throw SandboxError("cannot hand " + fifo.string() + " to user " +
                       std::to_string(identity->uid) + ": " + errno_text());
  }
  UniqueFd reader(::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!reader) throw SandboxError("cannot open " + fifo.string() + ": " + errno_text());
  return reader;
}

PlayerFifos::~PlayerFifos() {
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

std::string fifo_entry_script() {
  const std::string dir = kSandboxFifos;
  return ": >" + dir + "/started; exec >" + dir + "/stdout \"$0\" \"$@\"";
}

}  // namespace arena::sandbox
