// An upload taken as it streams in: written to a fresh file under the data directory's uploads/
// and hashed on the way, stopped as soon as it passes its cap, so an upload is never held in
// memory whole and an oversized one costs at most the cap. The file goes when the receiver does,
// unless it was moved away.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "arena/system/unique_fd.h"
#include "ladder/store/secrets.h"

namespace ladder::server {

class UploadReceiver {
 public:
  UploadReceiver(const std::filesystem::path& uploads, std::uint64_t cap);
  ~UploadReceiver();
  UploadReceiver(const UploadReceiver&) = delete;
  UploadReceiver& operator=(const UploadReceiver&) = delete;

  // False once the upload is over its cap or cannot be written.
  bool receive(std::string_view data);
  bool over_cap() const { return over_cap_; }

  // Flushes the file to the disk and returns the SHA-256 of what came. Throws std::system_error.
  std::string finish();
  const std::filesystem::path& file() const { return file_; }

 private:
  std::filesystem::path file_;
  arena::UniqueFd fd_;
  std::uint64_t cap_;
  std::uint64_t received_ = 0;
  bool over_cap_ = false;
  bool failed_ = false;
  store::Sha256 hash_;
};

}  // namespace ladder::server
