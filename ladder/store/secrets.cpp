#include "ladder/store/secrets.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <sys/random.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace ladder::store {

namespace {

std::string to_hex(const unsigned char* data, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * size);
  for (std::size_t i = 0; i < size; ++i) {
    hex += kDigits[data[i] >> 4];
    hex += kDigits[data[i] & 15];
  }
  return hex;
}

}  // namespace

std::string random_hex(std::size_t bytes) {
  std::vector<unsigned char> buffer(bytes);
  std::size_t filled = 0;
  while (filled < bytes) {
    ssize_t got = ::getrandom(buffer.data() + filled, bytes - filled, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw std::system_error(errno, std::generic_category(), "getrandom");
    filled += static_cast<std::size_t>(got);
  }
  return to_hex(buffer.data(), bytes);
}

struct Sha256::Context {
  EVP_MD_CTX* md = EVP_MD_CTX_new();
  ~Context() { EVP_MD_CTX_free(md); }
};

Sha256::Sha256() : context_(std::make_unique<Context>()) {
  if (context_->md == nullptr || EVP_DigestInit_ex(context_->md, EVP_sha256(), nullptr) != 1) {
    throw std::runtime_error("cannot start a SHA-256 digest");
  }
}

Sha256::~Sha256() = default;

void Sha256::update(std::string_view data) {
  if (EVP_DigestUpdate(context_->md, data.data(), data.size()) != 1) {
    throw std::runtime_error("SHA-256 digest failed");
  }
}

std::string Sha256::hex() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (EVP_DigestFinal_ex(context_->md, digest, &size) != 1) {
    throw std::runtime_error("SHA-256 digest failed");
  }
  return to_hex(digest, size);
}

std::string sha256_hex(std::string_view data) {
  Sha256 digest;
  digest.update(data);
  return digest.hex();
}

bool constant_time_equal(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

bool is_hex64(std::string_view text) {
  if (text.size() != 64) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

}  // namespace ladder::store
