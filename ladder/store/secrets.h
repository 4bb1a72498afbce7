// Tokens, leases and hashes. Tokens and the ladder's seed come from the kernel's generator
// (getrandom); a token is kept only as its SHA-256, and hashes are compared in constant time so
// that the time of a refusal tells nothing about how near a guess came.
#pragma once

#include <string>
#include <string_view>

#include "ladder/archive/archive_digest.h"

namespace ladder::store {

// `bytes` random bytes as 2 * bytes lower-case hex digits. Throws std::system_error.
std::string random_hex(std::size_t bytes);

// A fresh token: 32 random bytes, 64 hex digits.
inline std::string new_token() { return random_hex(32); }

// The ladder's SHA-256 (of tokens, leases' keys and uploads) is the archives' one.
using archive::Sha256;
using archive::sha256_hex;

bool constant_time_equal(std::string_view a, std::string_view b);

// True for 64 lower-case hex digits, the shape of a hash or a token.
inline bool is_hex64(std::string_view text) { return archive::is_sha256_hex(text); }

}  // namespace ladder::store
