// The scratch working directory of a fuzz harness: made once per process, removed at its
// normal end.
#pragma once

#include <initializer_list>
#include <string>

// Makes "$TMPDIR/zarvo-fuzz-<name>-XXXXXX" (TMPDIR unset: /tmp; make fuzz points it into the
// build tree) with the given subfolders, and returns its path. Traps when it cannot.
std::string make_scratch_dir(const char* name, std::initializer_list<const char*> subfolders);
