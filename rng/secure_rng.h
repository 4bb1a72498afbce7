// The referee's random source: SHAKE256 (FIPS 202) over a 64-byte seed from the operating
// system, turned into bounded integers (8-byte little-endian draws taken modulo the bound)
// and array shuffles. One global context, sc, serves the whole game.
#pragma once

#include <cstdint>

struct shake256_context {
  uint64_t state[25];  // Keccak lanes; sponge byte i is byte i % 8 (little-endian) of lane i / 8
  uint64_t position;   // byte position within the current 136-byte rate block (0..136)
};

void shake256_init(shake256_context* ctx);
void shake256_inject(shake256_context* ctx, const void* data, uint32_t len);
void shake256_flip(shake256_context* ctx);
void shake256_extract(shake256_context* ctx, void* out, uint32_t len);

// Fills buf with len seed bytes from the operating system, or from the clock when that fails.
// Always returns 1.
int get_good_seed(void* buf, uint32_t len);

void SRAND(shake256_context* ctx);
// Next 8-byte draw modulo m; asserts m > 0.
int64_t RAND(shake256_context* ctx, int64_t m);
// Fisher-Yates from the top: n - 1 draws with the bounds n, n - 1, ..., 2.
void RANDOM_SHUFFLE(shake256_context* ctx, int* a, int n);

extern shake256_context sc;
