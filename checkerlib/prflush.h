// Print and flush at once, so that no line waits in a buffer while a peer waits for it.
#pragma once

#include <cstdio>

int prflush(const char* format, ...) __attribute__((format(printf, 1, 2)));
// A null stream does nothing and returns -1.
int fprflush(FILE* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));
int errorflush(const char* format, ...) __attribute__((format(printf, 1, 2)));
