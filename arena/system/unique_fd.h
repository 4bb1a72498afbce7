// Owning file descriptors and pipes: every descriptor the arena opens is closed exactly once,
// also on early returns and exceptions.
#pragma once

#include <filesystem>
#include <utility>

namespace arena {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(std::exchange(other.fd_, -1));
    return *this;
  }
  ~UniqueFd() { reset(); }

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  void reset(int fd = -1);

 private:
  int fd_ = -1;
};

// Both ends are close-on-exec; a child receives only the ends it is explicitly given.
struct Pipe {
  UniqueFd read;
  UniqueFd write;
};
Pipe make_pipe();  // throws std::system_error

// Creates or empties `file` for writing, close-on-exec: the error file a child's standard error
// goes to. Throws std::system_error naming the file.
UniqueFd create_output_file(const std::filesystem::path& file);

}  // namespace arena
