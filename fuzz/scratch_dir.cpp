#include "fuzz/scratch_dir.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

// Kept in a plain array: the exit handler may run after static strings are destroyed.
char scratch_name[4096];

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "scratch directory: %s\n", what);
  std::fflush(stderr);
  __builtin_trap();
}

}  // namespace

std::string make_scratch_dir(const char* name, std::initializer_list<const char*> subfolders) {
  const char* tmp = std::getenv("TMPDIR");
  std::snprintf(scratch_name, sizeof scratch_name, "%s/zarvo-fuzz-%s-XXXXXX",
                tmp != nullptr && *tmp != '\0' ? tmp : "/tmp", name);
  if (mkdtemp(scratch_name) == nullptr) fail("cannot make a scratch directory");
  std::string made = scratch_name;
  for (const char* sub : subfolders) {
    if (mkdir((made + "/" + sub).c_str(), 0755) != 0) fail("cannot make a subfolder");
  }
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(scratch_name, ignored);
  });
  return made;
}
