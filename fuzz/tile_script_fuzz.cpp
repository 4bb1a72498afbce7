// Fuzz target: the tile script reader (trekkleuren, genereertegel) over arbitrary bytes.
//
// The bytes are the script, opened with fmemopen. The reader is driven as the referee drives
// it: the colours, then tiles until the script runs out. Each status is compared with a plain
// reading of the same bytes as white-space separated tokens:
//   - colours are taken (GETROKKEN) exactly when the first two tokens are numbers (an optional
//     sign and digits, as "%d" reads them, no other character) with two different values from
//     1 to 6; then kleur1 and kleur2 hold those values; an absent token gives SCRIPT_OP; a
//     colour token too long for scripttoken may be refused;
//   - each tile is taken exactly when its token is a permutation of the six digits 1 to 6;
//     the tile buffer then holds those six digits and a terminator, and scripttegels counts it;
//   - a refused or absent token leaves the tile buffer and the colours untouched;
//   - scripttoken always holds the token read (cut to 63 characters) and its terminator.
// The tile buffer sits between guard bytes that must stay untouched.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "referee/supply.h"

namespace {

[[noreturn]] void fail(const char* what, const std::string& token) {
  std::fprintf(stderr, "tile_script: %s (token \"%.80s\", %zu bytes)\n", what, token.c_str(),
               token.size());
  std::fflush(stderr);
  __builtin_trap();
}

bool white(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::vector<std::string> tokens_of(const uint8_t* data, size_t size) {
  std::vector<std::string> tokens;
  std::string token;
  for (size_t i = 0; i < size; ++i) {
    const char c = static_cast<char>(data[i]);
    if (white(c)) {
      if (!token.empty()) tokens.push_back(token);
      token.clear();
    } else {
      token += c;
    }
  }
  if (!token.empty()) tokens.push_back(token);
  return tokens;
}

// The colour value of a token as "%d" would read the whole token, or 0 when it is no colour.
int colour_of(const std::string& token) {
  size_t i = 0;
  bool negative = false;
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
  if (i == token.size()) return 0;
  long value = 0;
  for (; i < token.size(); ++i) {
    if (token[i] < '0' || token[i] > '9') return 0;
    if (value < 1000) value = value * 10 + (token[i] - '0');
  }
  if (negative || value < 1 || value > 6) return 0;
  return static_cast<int>(value);
}

bool is_tile(const std::string& token) {
  if (token.size() != 6) return false;
  bool seen[6] = {};
  for (char c : token) {
    if (c < '1' || c > '6' || seen[c - '1']) return false;
    seen[c - '1'] = true;
  }
  return true;
}

void check_scripttoken(const std::string& token) {
  const size_t shown = token.size() < 63 ? token.size() : 63;
  if (std::memchr(scripttoken, '\0', sizeof scripttoken) == nullptr) {
    fail("scripttoken has no terminator", token);
  }
  if (std::memcmp(scripttoken, token.data(), shown) != 0 || scripttoken[shown] != '\0') {
    fail("scripttoken does not hold the token read", token);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;  // fmemopen refuses an empty buffer
  FILE* script = fmemopen(const_cast<uint8_t*>(data), size, "r");
  if (script == nullptr) fail("fmemopen failed", "");
  const std::vector<std::string> tokens = tokens_of(data, size);

  kleur1 = 0;
  kleur2 = 0;
  scripttegels = 0;
  const int status = trekkleuren(script);
  size_t next = 0;
  if (tokens.empty()) {
    if (status != SCRIPT_OP) fail("colours from an empty script", "");
    if (kleur1 != 0 || kleur2 != 0) fail("colours changed by an empty script", "");
    std::fclose(script);
    return 0;
  }
  const int first = colour_of(tokens[0]);
  const int second = tokens.size() > 1 ? colour_of(tokens[1]) : 0;
  int expected;
  if (first == 0) {
    expected = SCRIPT_ONGELDIG;
    next = 1;
  } else if (tokens.size() == 1) {
    expected = SCRIPT_OP;
    next = 1;
  } else {
    expected = second != 0 && second != first ? GETROKKEN : SCRIPT_ONGELDIG;
    next = 2;
  }
  // A colour token longer than scripttoken may be refused whatever its value.
  const bool overlong = tokens[0].size() > 63 || (next == 2 && tokens[1].size() > 63);
  if (status != expected && !(overlong && status == SCRIPT_ONGELDIG)) {
    std::fprintf(stderr, "colour status %d, expected %d\n", status, expected);
    fail("wrong colour status", tokens[next - 1]);
  }
  if (status == GETROKKEN ? (kleur1 != first || kleur2 != second) : (kleur1 != 0 || kleur2 != 0)) {
    fail("wrong colours", tokens[next - 1]);
  }
  if (status != GETROKKEN) {
    std::fclose(script);
    return 0;
  }
  check_scripttoken(tokens[next - 1]);

  // The buffer of the referee (8 characters) between guards.
  char memory[8 + 32];
  std::memset(memory, 0x5a, sizeof memory);
  char* tile = memory + 16;
  std::memcpy(tile, "654321", 7);
  int taken = 0;
  for (;; ++next) {
    char before[8];
    std::memcpy(before, tile, sizeof before);
    const int drawn = genereertegel(tile, script);
    for (int g = 0; g < 16; ++g) {
      if (memory[g] != 0x5a || memory[16 + 8 + g] != 0x5a) fail("write beside the tile buffer", "");
    }
    if (next >= tokens.size()) {
      if (drawn != SCRIPT_OP) fail("a tile after the end of the script", "");
      if (std::memcmp(before, tile, sizeof before) != 0) fail("buffer changed at the end", "");
      if (genereertegel(tile, script) != SCRIPT_OP) fail("the end of the script did not last", "");
      break;
    }
    const std::string& token = tokens[next];
    check_scripttoken(token);
    if (is_tile(token)) {
      if (drawn != GETROKKEN) fail("a valid tile refused", token);
      if (std::memcmp(tile, token.data(), 6) != 0 || tile[6] != '\0')
        fail("tile not copied", token);
      ++taken;
    } else {
      if (drawn != SCRIPT_ONGELDIG) fail("an invalid tile taken", token);
      if (std::memcmp(before, tile, sizeof before) != 0) fail("buffer changed by a refusal", token);
    }
    if (scripttegels != taken) fail("scripttegels does not count the tiles taken", token);
  }
  std::fclose(script);
  return 0;
}
