// Entries built and played by a test through the real programs: the test's own directory,
// readable by the sandbox's users, files written into it, and the lines of a summary.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "arena/sandbox/host_support.h"
#include "tests/support/test_files.h"

namespace test_support {

inline void write_file(const std::filesystem::path& file, const std::string& text,
                       std::filesystem::perms mode = std::filesystem::perms(0644)) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file) << text;
  std::filesystem::permissions(file, mode);
}

// The line of `out` that starts with `status` (ok or FAILED) and names `name`, or "".
inline std::string line_for(const std::string& out, const std::string& status,
                            const std::string& name) {
  for (const std::string& line : lines_of(out)) {
    if (line.starts_with(status) && line.find(name) != std::string::npos) return line;
  }
  return "";
}

// A test that builds entries below root_, a fresh directory the build and seat users can read,
// kept when the test fails. Skipped where no sandbox can be made.
class EntryDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (auto problem = arena::sandbox::host_support().problem()) {
      GTEST_SKIP() << "no sandbox here: " << *problem;
    }
    root_ = fresh_test_dir("zarvo_entries_");
    std::filesystem::permissions(root_, std::filesystem::perms(0755));
  }
  void TearDown() override {
    if (!root_.empty() && !HasFailure()) std::filesystem::remove_all(root_);
  }

  std::filesystem::path root_;
};

}  // namespace test_support
