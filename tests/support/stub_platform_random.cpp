// Stand-in for the operating-system calls behind the seed, for reproducible test runs.
// Read at every call:
//   ZARVO_TEST_SEED       128 hex digits, the 64 seed bytes (unset: 64 zero bytes)
//   ZARVO_TEST_GENERATOR  "fail" makes the generator report failure (the clock fallback runs)
//   ZARVO_TEST_CLOCK      microseconds returned as the wall-clock time (unset: a fixed value)
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "rng/platform_random.h"

namespace {

constexpr int64_t kFixedClock = 1700000000123456;  // 2023-11-14 22:13:20.123456 UTC

int hex_value(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

[[noreturn]] void reject(const char* name, const char* value, const char* expected) {
  std::fprintf(stderr, "%s=\"%.80s\" is not %s\n", name, value, expected);
  std::fflush(stderr);
  std::abort();
}

}  // namespace

bool platform_random_bytes(void* buf, uint32_t len) {
  const char* generator = std::getenv("ZARVO_TEST_GENERATOR");
  if (generator != nullptr && std::strcmp(generator, "fail") == 0) return false;

  unsigned char seed[64] = {};
  if (const char* hex = std::getenv("ZARVO_TEST_SEED"); hex != nullptr) {
    if (std::strlen(hex) != 2 * sizeof seed) reject("ZARVO_TEST_SEED", hex, "128 hex digits");
    for (size_t i = 0; i < sizeof seed; ++i) {
      const int high = hex_value(hex[2 * i]);
      const int low = hex_value(hex[2 * i + 1]);
      if (high < 0 || low < 0) reject("ZARVO_TEST_SEED", hex, "128 hex digits");
      seed[i] = static_cast<unsigned char>(high * 16 + low);
    }
  }
  auto* out = static_cast<unsigned char*>(buf);
  for (uint32_t i = 0; i < len; ++i) out[i] = i < sizeof seed ? seed[i] : 0;
  return true;
}

int64_t platform_clock_micros() {
  const char* text = std::getenv("ZARVO_TEST_CLOCK");
  if (text == nullptr) return kFixedClock;
  char* end = nullptr;
  const long long value = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0') reject("ZARVO_TEST_CLOCK", text, "an integer");
  return value;
}
