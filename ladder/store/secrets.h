// Tokens, leases and hashes. Tokens and the ladder's seed come from the kernel's generator
// (getrandom); a token is kept only as its SHA-256, and hashes are compared in constant time so
// that the time of a refusal tells nothing about how near a guess came.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace ladder::store {

// `bytes` random bytes as 2 * bytes lower-case hex digits. Throws std::system_error.
std::string random_hex(std::size_t bytes);

// A fresh token: 32 random bytes, 64 hex digits.
inline std::string new_token() { return random_hex(32); }

// SHA-256 of `data`, 64 lower-case hex digits.
std::string sha256_hex(std::string_view data);

bool constant_time_equal(std::string_view a, std::string_view b);

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

// True for 64 lower-case hex digits, the shape of a hash or a token.
bool is_hex64(std::string_view text);

}  // namespace ladder::store
