#include "ladder/archive/archive_digest.h"

#include <openssl/evp.h>

#include <array>
#include <cerrno>
#include <fstream>
#include <memory>
#include <new>
#include <system_error>

namespace ladder::archive {

namespace {

class Digest {
 public:
  Digest() : context_(EVP_MD_CTX_new(), &EVP_MD_CTX_free) {
    if (!context_ || EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1) {
      throw std::bad_alloc();
    }
  }
  void add(const char* data, std::size_t size) { EVP_DigestUpdate(context_.get(), data, size); }
  std::string hex() {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int size = 0;
    EVP_DigestFinal_ex(context_.get(), digest.data(), &size);
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < size; ++i) {
      text += kDigits[digest[i] >> 4];
      text += kDigits[digest[i] & 15];
    }
    return text;
  }

 private:
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context_;
};

}  // namespace

std::string sha256_hex(std::string_view bytes) {
  Digest digest;
  digest.add(bytes.data(), bytes.size());
  return digest.hex();
}

std::string file_sha256_hex(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::system_error(errno, std::generic_category(), "cannot read " + file.string());
  Digest digest;
  std::array<char, 64 * 1024> buffer{};
  while (in.read(buffer.data(), buffer.size()) || in.gcount() > 0) {
    digest.add(buffer.data(), static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad())
    throw std::system_error(EIO, std::generic_category(), "cannot read " + file.string());
  return digest.hex();
}

bool is_sha256_hex(std::string_view text) {
  if (text.size() != 64) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

}  // namespace ladder::archive
