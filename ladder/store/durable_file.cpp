#include "ladder/store/durable_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "arena/system/unique_fd.h"
#include "ladder/store/secrets.h"

namespace ladder::store {

namespace {

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& path) {
  throw std::system_error(errno, std::generic_category(), what + " " + path.string());
}

bool write_all(int fd, std::string_view content) {
  while (!content.empty()) {
    ssize_t wrote = ::write(fd, content.data(), content.size());
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    content.remove_prefix(static_cast<std::size_t>(wrote));
  }
  return true;
}

}  // namespace

void sync_path(const std::filesystem::path& path) {
  arena::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) fail("cannot open", path);
  if (::fsync(fd.get()) != 0) fail("cannot flush", path);
}

namespace {

void write_new_file(const std::filesystem::path& path, std::string_view content, bool sync) {
  arena::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (!fd) fail("cannot create", path);
  if (!write_all(fd.get(), content) || (sync && ::fsync(fd.get()) != 0)) {
    int saved = errno;
    ::unlink(path.c_str());
    errno = saved;
    fail("cannot write", path);
  }
}

}  // namespace

void write_synced_file(const std::filesystem::path& path, std::string_view content) {
  write_new_file(path, content, true);
}

void write_unsynced_file(const std::filesystem::path& path, std::string_view content) {
  write_new_file(path, content, false);
}

void sync_file_system(const std::filesystem::path& path) {
  arena::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) fail("cannot open", path);
  if (::syncfs(fd.get()) != 0) fail("cannot flush the file system of", path);
}

void write_durable_file(const std::filesystem::path& path, std::string_view content) {
  std::filesystem::path temporary = path;
  temporary += ".tmp-" + random_hex(8);
  write_synced_file(temporary, content);
  move_durable_file(temporary, path);
}

void move_durable_file(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) {
    int saved = errno;
    ::unlink(from.c_str());
    errno = saved;
    fail("cannot rename into", to);
  }
  sync_path(to.parent_path());
}

void make_durable_directories(const std::filesystem::path& dir) {
  if (std::filesystem::is_directory(dir)) return;
  make_durable_directories(dir.parent_path());
  std::filesystem::create_directory(dir);
  sync_path(dir.parent_path());
}

}  // namespace ladder::store
