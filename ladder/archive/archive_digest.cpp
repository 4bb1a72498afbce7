#include "ladder/archive/archive_digest.h"

#include <openssl/evp.h>

#include <array>
#include <cerrno>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <system_error>

namespace ladder::archive {

struct Sha256::Context {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> md{EVP_MD_CTX_new(), &EVP_MD_CTX_free};
};

Sha256::Sha256() : context_(std::make_unique<Context>()) {
  if (!context_->md || EVP_DigestInit_ex(context_->md.get(), EVP_sha256(), nullptr) != 1) {
    throw std::runtime_error("cannot start a SHA-256 digest");
  }
}

Sha256::~Sha256() = default;

void Sha256::update(std::string_view data) {
  if (EVP_DigestUpdate(context_->md.get(), data.data(), data.size()) != 1) {
    throw std::runtime_error("SHA-256 digest failed");
  }
}

std::string Sha256::hex() {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int size = 0;
  if (EVP_DigestFinal_ex(context_->md.get(), digest.data(), &size) != 1) {
    throw std::runtime_error("SHA-256 digest failed");
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * size);
  for (unsigned int i = 0; i < size; ++i) {
    text += kDigits[digest[i] >> 4];
    text += kDigits[digest[i] & 15];
  }
  return text;
}

std::string sha256_hex(std::string_view bytes) {
  Sha256 digest;
  digest.update(bytes);
  return digest.hex();
}

std::string file_sha256_hex(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::system_error(errno, std::generic_category(), "cannot read " + file.string());
  Sha256 digest;
  std::array<char, 64 * 1024> buffer{};
  while (in.read(buffer.data(), buffer.size()) || in.gcount() > 0) {
    digest.update({buffer.data(), static_cast<std::size_t>(in.gcount())});
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
