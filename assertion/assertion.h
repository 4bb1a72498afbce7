// Invariant checks of the referee program. They stay on in every build: a broken invariant
// prints the expression text, the source unit and the line to standard error, then aborts
// (no exit handler runs, so no report is made from a state that cannot be trusted).
#pragma once

[[noreturn]] void assertion_failed(const char* expression, const char* unit, int line);

// UNIT is the source unit named in the message ("zarvo-checker", "checkerlib", "secure_rng").
#define ZARVO_ASSERT(unit, expression) \
  ((expression) ? static_cast<void>(0) : assertion_failed(#expression, unit, __LINE__))
