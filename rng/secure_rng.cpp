// SHAKE256 (FIPS 202) and the referee's draws from it. The state is addressed as a byte string
// through shifts on the 64-bit lanes, so the stream is the same on any host byte order.
#include "rng/secure_rng.h"

#include "assertion/assertion.h"
#include "rng/platform_random.h"

namespace {

constexpr uint64_t RATE = 136;  // bytes per block: 1600 - 2 * 256 bits of capacity

const uint64_t RC[24] = {
    0x0000000000000001ULL, 0x0000000000008082ULL, 0x800000000000808AULL, 0x8000000080008000ULL,
    0x000000000000808BULL, 0x0000000080000001ULL, 0x8000000080008081ULL, 0x8000000000008009ULL,
    0x000000000000008AULL, 0x0000000000000088ULL, 0x0000000080008009ULL, 0x000000008000000AULL,
    0x000000008000808BULL, 0x800000000000008BULL, 0x8000000000008089ULL, 0x8000000000008003ULL,
    0x8000000000008002ULL, 0x8000000000000080ULL, 0x000000000000800AULL, 0x800000008000000AULL,
    0x8000000080008081ULL, 0x8000000000008080ULL, 0x0000000080000001ULL, 0x8000000080008008ULL,
};

// Rotation offsets and destinations of the combined rho and pi steps, following lane 1 around
// its cycle of 24 lanes.
const int RHO[24] = {1,  3,  6,  10, 15, 21, 28, 36, 45, 55, 2,  14,
                     27, 41, 56, 8,  25, 43, 62, 18, 39, 61, 20, 44};
const int PI_LANE[24] = {10, 7,  11, 17, 18, 3, 5,  16, 8,  21, 24, 4,
                         15, 23, 19, 13, 12, 2, 20, 14, 22, 9,  6,  1};

inline uint64_t rotl(uint64_t x, int n) { return (x << n) | (x >> (64 - n)); }

void keccak_f1600(uint64_t a[25]) {
  for (int round = 0; round < 24; ++round) {
    uint64_t c[5];
    for (int x = 0; x < 5; ++x) c[x] = a[x] ^ a[x + 5] ^ a[x + 10] ^ a[x + 15] ^ a[x + 20];
    for (int x = 0; x < 5; ++x) {
      const uint64_t d = c[(x + 4) % 5] ^ rotl(c[(x + 1) % 5], 1);
      for (int y = 0; y < 25; y += 5) a[y + x] ^= d;
    }
    uint64_t carried = a[1];
    for (int i = 0; i < 24; ++i) {
      const int j = PI_LANE[i];
      const uint64_t next = a[j];
      a[j] = rotl(carried, RHO[i]);
      carried = next;
    }
    for (int y = 0; y < 25; y += 5) {
      uint64_t row[5];
      for (int x = 0; x < 5; ++x) row[x] = a[y + x];
      for (int x = 0; x < 5; ++x) a[y + x] = row[x] ^ (~row[(x + 1) % 5] & row[(x + 2) % 5]);
    }
    a[0] ^= RC[round];
  }
}

inline void xor_byte(shake256_context* ctx, uint64_t i, uint8_t value) {
  ctx->state[i / 8] ^= static_cast<uint64_t>(value) << (8 * (i % 8));
}

inline uint8_t read_byte(const shake256_context* ctx, uint64_t i) {
  return static_cast<uint8_t>(ctx->state[i / 8] >> (8 * (i % 8)));
}

}  // namespace

shake256_context sc;

void shake256_init(shake256_context* ctx) {
  for (uint64_t& lane : ctx->state) lane = 0;
  ctx->position = 0;
}

void shake256_inject(shake256_context* ctx, const void* data, uint32_t len) {
  const auto* in = static_cast<const uint8_t*>(data);
  uint64_t p = ctx->position;
  while (len > 0) {
    uint64_t c = RATE - p;
    if (c > len) c = len;
    for (uint64_t k = 0; k < c; ++k) xor_byte(ctx, p + k, in[k]);
    in += c;
    len -= static_cast<uint32_t>(c);
    p += c;
    if (p == RATE) {
      keccak_f1600(ctx->state);
      p = 0;
    }
  }
  ctx->position = p;
}

void shake256_flip(shake256_context* ctx) {
  xor_byte(ctx, ctx->position, 0x1F);
  xor_byte(ctx, RATE - 1, 0x80);
  ctx->position = RATE;
}

void shake256_extract(shake256_context* ctx, void* out, uint32_t len) {
  auto* dst = static_cast<uint8_t*>(out);
  uint64_t p = ctx->position;
  while (len > 0) {
    if (p == RATE) {
      keccak_f1600(ctx->state);
      p = 0;
    }
    uint64_t c = RATE - p;
    if (c > len) c = len;
    for (uint64_t k = 0; k < c; ++k) dst[k] = read_byte(ctx, p + k);
    dst += c;
    len -= static_cast<uint32_t>(c);
    p += c;
  }
  ctx->position = p;
}

int get_good_seed(void* buf, uint32_t len) {
  ZARVO_ASSERT("secure_rng", len > 0);
  if (platform_random_bytes(buf, len)) return 1;
  // No system generator: the clock stands in, little-endian, the rest of the buffer zero.
  int64_t t = platform_clock_micros();
  auto* out = static_cast<uint8_t*>(buf);
  for (uint32_t i = 0; i < len; ++i) {
    out[i] = static_cast<uint8_t>(t & 0xFF);
    t >>= 8;
  }
  return 1;
}

void SRAND(shake256_context* ctx) {
  uint8_t seed[64];
  get_good_seed(seed, sizeof seed);
  shake256_init(ctx);
  shake256_inject(ctx, seed, sizeof seed);
  shake256_flip(ctx);
}

namespace {

// The next eight stream bytes as a little-endian number; a lane is read whole when the draw
// sits on a lane boundary, which is always so for a stream used only for draws.
uint64_t next_draw(shake256_context* ctx) {
  uint64_t p = ctx->position;
  if (p == RATE) {
    keccak_f1600(ctx->state);
    p = 0;
  }
  if (p % 8 == 0 && p + 8 <= RATE) {
    ctx->position = p + 8;
    return ctx->state[p / 8];
  }
  uint64_t x = 0;
  for (int k = 0; k < 8; ++k) {
    if (p == RATE) {
      keccak_f1600(ctx->state);
      p = 0;
    }
    x |= static_cast<uint64_t>(read_byte(ctx, p)) << (8 * k);
    ++p;
  }
  ctx->position = p;
  return x;
}

}  // namespace

int64_t RAND(shake256_context* ctx, int64_t m) {
  ZARVO_ASSERT("secure_rng", m > 0);
  return static_cast<int64_t>(next_draw(ctx) % static_cast<uint64_t>(m));
}

void RANDOM_SHUFFLE(shake256_context* ctx, int* a, int n) {
  for (int i = n - 1; i >= 1; --i) {
    const uint64_t j = next_draw(ctx) % (static_cast<uint64_t>(i) + 1);
    if (j != static_cast<uint64_t>(i)) {
      const int t = a[i];
      a[i] = a[j];
      a[j] = t;
    }
  }
}
