#include "checkerlib/prflush.h"

#include <cstdarg>

int prflush(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int count = std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
  return count;
}

int fprflush(FILE* stream, const char* format, ...) {
  if (stream == nullptr) return -1;
  va_list args;
  va_start(args, format);
  int count = std::vfprintf(stream, format, args);
  va_end(args);
  std::fflush(stream);
  return count;
}

int errorflush(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int count = std::vfprintf(stderr, format, args);
  va_end(args);
  std::fflush(stderr);
  return count;
}
