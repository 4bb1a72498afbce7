// The named pipes between the arena and a sandboxed player. bwrap's own processes (its monitor
// and the sandbox's init) hold every descriptor the player is started with, so a pipe handed over
// as standard output would never show the end of the player's output when the player closes it,
// and bwrap's own failure to make the sandbox would look like the player's crash. So the
// sandbox shows a directory of named pipes at kSandboxFifos, and the player's first step inside,
// before any of its own code runs, opens and closes "started" (the sandbox is up) and makes
// "stdout" its standard output, which it alone then holds.
#pragma once

#include <filesystem>
#include <optional>

#include "arena/sandbox/sandbox_policy.h"
#include "arena/system/unique_fd.h"

namespace arena::sandbox {

inline constexpr const char* kSandboxFifos = "/run/zarvo";

class PlayerFifos {
 public:
  // Makes the named pipes in a private directory, owned by `identity` (when given) so that only
  // the player's user and root can open them. Throws SandboxError.
  explicit PlayerFifos(const std::optional<Identity>& identity);
  PlayerFifos(const PlayerFifos&) = delete;
  PlayerFifos& operator=(const PlayerFifos&) = delete;
  ~PlayerFifos();

  const std::filesystem::path& dir() const { return dir_; }
  // The reading ends, non-blocking; each taken once. Until the player opens its end, each reads
  // nothing and polls as not ready; "started" polls as hung up once the player has opened and
  // closed it.
  UniqueFd take_output() { return std::move(output_); }
  UniqueFd take_started() { return std::move(started_); }

 private:
  UniqueFd make(const char* name, const std::optional<Identity>& identity);

  std::filesystem::path dir_;
  UniqueFd output_;
  UniqueFd started_;
};

// The shell command that is the player's first step (arguments: the program, then its own).
std::string fifo_entry_script();

}  // namespace arena::sandbox
