#include "arena/series/tile_script.h"

#include <array>
#include <cstdint>

#include "rng/secure_rng.h"

namespace arena::series {

std::string derive_tile_script(std::string_view seed, int pair_number) {
  shake256_context ctx;
  shake256_init(&ctx);
  // The seed's length goes in first, so that no two (seed, number) pairs give
  // the same input.
  std::array<unsigned char, 16> lengths{};
  uint64_t seed_length = seed.size();
  uint64_t number = static_cast<uint64_t>(pair_number);
  for (int i = 0; i < 8; ++i) {
    lengths[i] = static_cast<unsigned char>(seed_length >> (8 * i));
    lengths[8 + i] = static_cast<unsigned char>(number >> (8 * i));
  }
  shake256_inject(&ctx, lengths.data(), 8);
  shake256_inject(&ctx, seed.data(), static_cast<uint32_t>(seed.size()));
  shake256_inject(&ctx, lengths.data() + 8, 8);
  shake256_flip(&ctx);

  // The same draws the referee makes for its own random colours and tiles.
  int colour1 = static_cast<int>(RAND(&ctx, 6)) + 1;
  int r = static_cast<int>(RAND(&ctx, 5));
  int colour2 = r + 1 < colour1 ? r + 1 : r + 2;
  std::string script = std::to_string(colour1) + " " + std::to_string(colour2) + "\n";
  for (int tile = 0; tile < 1 + kScriptTiles; ++tile) {
    int digits[6] = {0, 1, 2, 3, 4, 5};
    RANDOM_SHUFFLE(&ctx, digits, 6);
    for (int digit : digits) script += static_cast<char>('1' + digit);
    script += '\n';
  }
  return script;
}

}  // namespace arena::series
