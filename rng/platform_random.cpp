// The Linux calls behind the seed: getrandom(2) for the generator, gettimeofday for the clock.
#include "rng/platform_random.h"

#include <sys/random.h>
#include <sys/time.h>

#include <cerrno>

bool platform_random_bytes(void* buf, uint32_t len) {
  ssize_t got;
  do {
    got = getrandom(buf, len, 0);
  } while (got < 0 && errno == EINTR);
  return got >= 0 && static_cast<uint64_t>(got) == len;
}

int64_t platform_clock_micros() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  return static_cast<int64_t>(tv.tv_sec) * 1000000 + tv.tv_usec;
}
