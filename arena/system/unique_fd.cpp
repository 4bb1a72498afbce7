#include "arena/system/unique_fd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace arena {

void UniqueFd::reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

Pipe make_pipe() {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0)
    throw std::system_error(errno, std::generic_category(), "pipe");
  return Pipe{UniqueFd(ends[0]), UniqueFd(ends[1])};
}

UniqueFd create_output_file(const std::filesystem::path& file) {
  UniqueFd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!fd)
    throw std::system_error(errno, std::generic_category(), "cannot create " + file.string());
  return fd;
}

}  // namespace arena
