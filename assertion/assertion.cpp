#include "assertion/assertion.h"

#include <cstdio>
#include <cstdlib>

void assertion_failed(const char* expression, const char* unit, int line) {
  std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", expression, unit, line);
  std::fflush(stderr);
  std::abort();
}
