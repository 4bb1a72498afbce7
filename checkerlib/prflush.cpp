#include "checkerlib/prflush.h"

#include <cstdarg>

namespace {

int print_and_flush(FILE* stream, const char* format, va_list args) {
  int count = std::vfprintf(stream, format, args);
  std::fflush(stream);
  return count;
}

}  // namespace

int prflush(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int count = print_and_flush(stdout, format, args);
  va_end(args);
  return count;
}

int fprflush(FILE* stream, const char* format, ...) {
  if (stream == nullptr) return -1;
  va_list args;
  va_start(args, format);
  int count = print_and_flush(stream, format, args);
  va_end(args);
  return count;
}

int errorflush(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int count = print_and_flush(stderr, format, args);
  va_end(args);
  return count;
}
