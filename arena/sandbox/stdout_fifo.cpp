#include "arena/sandbox/stdout_fifo.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <system_error>

#include "arena/sandbox/cgroup_files.h"

namespace arena::sandbox {
namespace fs = std::filesystem;

StdoutFifo::StdoutFifo(const std::optional<Identity>& identity) {
  std::string pattern = (fs::temp_directory_path() / "zarvo-stdout.XXXXXX").string();
  if (!::mkdtemp(pattern.data())) {
    throw SandboxError("cannot make a directory for a player's output: " + errno_text());
  }
  dir_ = pattern;
  fifo_ = dir_ / "stdout";
  try {
    if (::mkfifo(fifo_.c_str(), 0600) != 0) {
      throw SandboxError("cannot make " + fifo_.string() + ": " + errno_text());
    }
    if (identity && (::chown(dir_.c_str(), identity->uid, identity->gid) != 0 ||
                     ::chown(fifo_.c_str(), identity->uid, identity->gid) != 0)) {
      throw SandboxError("cannot hand " + fifo_.string() + " to user " +
                         std::to_string(identity->uid) + ": " + errno_text());
    }
    reader_.reset(::open(fifo_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!reader_) throw SandboxError("cannot open " + fifo_.string() + ": " + errno_text());
  } catch (...) {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
    throw;
  }
}

StdoutFifo::~StdoutFifo() {
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

}  // namespace arena::sandbox
