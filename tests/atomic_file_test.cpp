// Replacing a file in one step, as every file the arena rewrites is: the old file is replaced
// whole, and a write that fails leaves it untouched and no temporary beside it.
#include "arena/system/atomic_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "tests/support/test_files.h"

namespace fs = std::filesystem;
using test_support::read_file;

namespace {

std::vector<std::string> names_in(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

ino_t inode_of(const fs::path& file) {
  struct stat info {};
  EXPECT_EQ(::stat(file.c_str(), &info), 0) << file;
  return info.st_ino;
}

class ReplaceFile : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = test_support::fresh_test_dir("atomic_file_test."); }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(ReplaceFile, ReplacesAnExistingFileWholeByANewOne) {
  const fs::path file = dir_ / "standings.txt";
  arena::replace_file(file, std::string(5000, 'o'));
  const ino_t old = inode_of(file);
  arena::replace_file(file, "new\n");
  EXPECT_EQ(read_file(file), "new\n");
  EXPECT_NE(inode_of(file), old) << "a reader of the old file keeps reading the old file";
  EXPECT_EQ(names_in(dir_), std::vector<std::string>{"standings.txt"});
}

TEST_F(ReplaceFile, ReplacesALinkRatherThanWritingThroughIt) {
  const fs::path target = dir_ / "elsewhere";
  arena::replace_file(target, "untouched");
  fs::create_symlink(target, dir_ / "record");
  arena::replace_file(dir_ / "record", "record");
  EXPECT_FALSE(fs::is_symlink(dir_ / "record"));
  EXPECT_EQ(read_file(dir_ / "record"), "record");
  EXPECT_EQ(read_file(target), "untouched");
}

TEST_F(ReplaceFile, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  const fs::path file = dir_ / "results.csv";
  arena::replace_file(file, "old");
  // A file size limit makes the write of anything larger fail (EFBIG instead of SIGXFSZ).
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* previous = ::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  bool threw = false;
  try {
    arena::replace_file(file, std::string(100000, 'n'));
  } catch (const std::system_error& error) {
    threw = true;
    EXPECT_NE(std::string(error.what()).find(file.string()), std::string::npos) << error.what();
  }
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, previous);
  EXPECT_TRUE(threw);
  EXPECT_EQ(read_file(file), "old");
  EXPECT_EQ(names_in(dir_), std::vector<std::string>{"results.csv"});
}

}  // namespace
