#include "ladder/server/upload_receiver.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace ladder::server {

UploadReceiver::UploadReceiver(const std::filesystem::path& uploads, std::uint64_t cap)
    : file_(uploads / ("upload-" + store::random_hex(16))), cap_(cap) {
  fd_ = arena::UniqueFd(::open(file_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (!fd_)
    throw std::system_error(errno, std::generic_category(), "cannot create " + file_.string());
}

UploadReceiver::~UploadReceiver() {
  fd_.reset();
  ::unlink(file_.c_str());
}

bool UploadReceiver::receive(std::string_view data) {
  if (over_cap_ || failed_) return false;
  received_ += data.size();
  if (received_ > cap_) {
    over_cap_ = true;
    return false;
  }
  hash_.update(data);
  while (!data.empty()) {
    ssize_t wrote = ::write(fd_.get(), data.data(), data.size());
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      failed_ = true;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(wrote));
  }
  return true;
}

std::string UploadReceiver::finish() {
  if (failed_ || ::fsync(fd_.get()) != 0) {
    throw std::system_error(errno, std::generic_category(), "cannot write " + file_.string());
  }
  return hash_.hex();
}

}  // namespace ladder::server
