// The system-call filter every sandboxed player runs under: the kernel's rarely used and
// dangerous calls, which no game needs, answer EPERM (an ordinary error a program goes on
// from), and so does every call of a foreign ABI (x32, i386). Built with libseccomp once per
// process and handed to bwrap (`--seccomp FD`), which loads it for the player's program; the
// kernel keeps it for everything the program starts. The list and the reason for each entry
// live in syscall_filter.cpp.
#pragma once

#include <span>
#include <string>

#include "arena/system/unique_fd.h"

namespace arena::sandbox {

// The descriptor bwrap reads the filter from in the player's sandbox start.
inline constexpr int kSyscallFilterFd = 3;

// One system call the filter refuses outright, whatever its arguments.
struct RefusedCall {
  const char* name;  // as libseccomp names it
  const char* why;
};
std::span<const RefusedCall> refused_calls();

// Calls refused only with some arguments, one line each saying which and why (for check-sandbox
// and the README).
std::span<const char* const> refused_call_arguments();

// The filter as a BPF program for this machine's native ABI, compiled on the first call.
// Throws SandboxError when libseccomp cannot build it.
const std::string& syscall_filter_program();

// A fresh descriptor (never 0 to 2) positioned at the start of the program, for one bwrap to
// read to its end. Throws SandboxError.
UniqueFd syscall_filter_fd();

}  // namespace arena::sandbox
