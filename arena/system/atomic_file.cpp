#include "arena/system/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>

#include "arena/system/unique_fd.h"

namespace arena {
namespace fs = std::filesystem;

namespace {

constexpr mode_t kMode = 0644;

// A temporary ".NAME.PID.N" beside `path`, created exclusively. Names left by an earlier process
// of the same id are passed over rather than reused.
UniqueFd create_temporary(const fs::path& path, fs::path& temporary) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0;; ++attempt) {
    temporary = path.parent_path() / ("." + path.filename().string() + "." +
                                      std::to_string(::getpid()) + "." + std::to_string(counter++));
    UniqueFd fd(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kMode));
    if (fd || errno != EEXIST || attempt == 100) return fd;
  }
}

}  // namespace

void replace_file(const fs::path& path, std::string_view content, FileReaders readers) {
  fs::path temporary;
  UniqueFd fd = create_temporary(path, temporary);
  if (!fd) throw std::system_error(errno, std::generic_category(), "cannot write " + path.string());
  auto fail = [&](int error) {
    ::unlink(temporary.c_str());
    return std::system_error(error, std::generic_category(), "cannot write " + path.string());
  };
  for (std::string_view rest = content; !rest.empty();) {
    ssize_t written = ::write(fd.get(), rest.data(), rest.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) throw fail(written < 0 ? errno : EIO);
    rest.remove_prefix(static_cast<std::size_t>(written));
  }
  if (readers == FileReaders::kEveryone && ::fchmod(fd.get(), kMode) != 0) throw fail(errno);
  fd.reset();
  if (::rename(temporary.c_str(), path.c_str()) != 0) throw fail(errno);
}

}  // namespace arena
