// A sandboxed player's standard output. bwrap's own processes (its monitor and the sandbox's
// init) hold every descriptor the player is started with, so a pipe handed over as standard
// output would never show the end of the player's output when the player closes it. Instead
// the player's output is a named pipe that the sandbox shows at kSandboxStdout and that the
// player alone opens, as its first step inside: the arena reads the other end and sees the end
// of output as soon as the player and its children have closed theirs.
#pragma once

#include <filesystem>
#include <optional>

#include "arena/sandbox/sandbox_policy.h"
#include "arena/unique_fd.h"

namespace arena::sandbox {

inline constexpr const char* kSandboxStdout = "/run/zarvo/stdout";

class StdoutFifo {
 public:
  // Makes the named pipe in a private directory, owned by `identity` (when given) so that only
  // the player's user and root can open it. Throws SandboxError.
  explicit StdoutFifo(const std::optional<Identity>& identity);
  StdoutFifo(const StdoutFifo&) = delete;
  StdoutFifo& operator=(const StdoutFifo&) = delete;
  ~StdoutFifo();

  const std::filesystem::path& path() const { return fifo_; }
  // The reading end, non-blocking; taken once. Until the player opens its end, it reads
  // nothing and polls as not ready.
  UniqueFd take_reader() { return std::move(reader_); }

 private:
  std::filesystem::path dir_;
  std::filesystem::path fifo_;
  UniqueFd reader_;
};

}  // namespace arena::sandbox
