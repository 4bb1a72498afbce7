#include "ladder/store/secrets.h"

#include <openssl/crypto.h>
#include <sys/random.h>

#include <cerrno>
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

bool constant_time_equal(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace ladder::store
