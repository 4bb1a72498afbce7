// The name of a source archive: the SHA-256 of its bytes, as 64 lower-case hexadecimal digits.
// The server stores an upload under it and a worker checks a download against it. The digest
// here is the ladder's one SHA-256, also of tokens and of uploads as they stream in.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace ladder::archive {

// SHA-256 over data that arrives in pieces (an upload as it streams in).
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  void update(std::string_view data);
  std::string hex();  // once, at the end

 private:
  struct Context;
  std::unique_ptr<Context> context_;
};

std::string sha256_hex(std::string_view bytes);

// Of the file's bytes, read in pieces. Throws std::system_error when it cannot be read.
std::string file_sha256_hex(const std::filesystem::path& file);

// Whether `text` has the form of such a name, so that it may become a file name.
bool is_sha256_hex(std::string_view text);

}  // namespace ladder::archive
