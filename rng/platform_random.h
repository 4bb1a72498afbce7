// The two operating-system calls behind the seed, kept apart so that a test build can link a
// stand-in (a fixed seed, a failing generator, a fixed clock) in place of the real ones.
#pragma once

#include <cstdint>

// Fills buf with len bytes of the system's cryptographic generator; true only when all len
// bytes were delivered.
bool platform_random_bytes(void* buf, uint32_t len);

// Wall-clock time as seconds * 1000000 + microseconds.
int64_t platform_clock_micros();
