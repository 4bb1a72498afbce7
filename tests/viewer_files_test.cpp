// The copy of the viewer files a result directory keeps: made beside the logs, left alone when
// it is current, replaced when the source changes, always whole while many games write it at
// once, and found in a build tree or an installed tree.
#include "arena/game/viewer_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string read_file(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void write_file(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

void write_viewer(const fs::path& dir, const std::string& js, const std::string& css) {
  write_file(dir / "zarvo.js", js);
  write_file(dir / "zarvo.css", css);
}

ino_t inode_of(const fs::path& file) {
  struct stat info {};
  EXPECT_EQ(::stat(file.c_str(), &info), 0) << file;
  return info.st_ino;
}

// Names in a directory other than the viewer files themselves: temporary files left behind.
std::vector<std::string> strays(const fs::path& dir) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(dir)) {
    std::string name = entry.path().filename().string();
    if (name != "zarvo.js" && name != "zarvo.css") found.push_back(name);
  }
  return found;
}

class ViewerFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir_template[] = "/tmp/viewer-files-test.XXXXXX";
    root_ = ::mkdtemp(dir_template);
  }
  void TearDown() override { fs::remove_all(root_); }
  fs::path root_;
};

TEST_F(ViewerFiles, CopyLandsInResourcesIsKeptWhileCurrentAndFollowsTheSource) {
  fs::path source = root_ / "source";
  fs::path out = root_ / "out";
  write_viewer(source, std::string(100000, 'j'), "css one");
  EXPECT_EQ(arena::provide_viewer_files(source, out), "../resources/");
  EXPECT_EQ(read_file(out / "resources/zarvo.js"), std::string(100000, 'j'));
  EXPECT_EQ(read_file(out / "resources/zarvo.css"), "css one");
  EXPECT_EQ(fs::status(out / "resources/zarvo.js").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                fs::perms::others_read);

  ino_t js = inode_of(out / "resources/zarvo.js");
  ino_t css = inode_of(out / "resources/zarvo.css");
  arena::provide_viewer_files(source, out);
  EXPECT_EQ(inode_of(out / "resources/zarvo.js"), js) << "an identical copy is left alone";
  EXPECT_EQ(inode_of(out / "resources/zarvo.css"), css);

  write_file(source / "zarvo.css", "css two");
  arena::provide_viewer_files(source, out);
  EXPECT_EQ(read_file(out / "resources/zarvo.css"), "css two");
  EXPECT_EQ(inode_of(out / "resources/zarvo.js"), js);

  // A copy damaged by hand is repaired by the next game.
  write_file(out / "resources/zarvo.js", "truncated");
  arena::provide_viewer_files(source, out);
  EXPECT_EQ(read_file(out / "resources/zarvo.js"), std::string(100000, 'j'));
  EXPECT_EQ(strays(out / "resources"), std::vector<std::string>{});
}

TEST_F(ViewerFiles, MissingSourceOrBlockedDestinationIsAClearError) {
  fs::path source = root_ / "source";
  write_file(source / "zarvo.js", "js");  // no zarvo.css
  try {
    arena::provide_viewer_files(source, root_ / "out");
    ADD_FAILURE() << "no error for a missing zarvo.css";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find((source / "zarvo.css").string()), std::string::npos)
        << error.what();
  }

  write_file(source / "zarvo.css", "css");
  write_file(root_ / "blocked/resources", "a file, not a directory");
  try {
    arena::provide_viewer_files(source, root_ / "blocked");
    ADD_FAILURE() << "no error for a file in the way";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("resources"), std::string::npos) << error.what();
  }

  fs::create_directories(root_ / "dirs/resources/zarvo.js");  // a directory in the way
  EXPECT_THROW(arena::provide_viewer_files(source, root_ / "dirs"), std::runtime_error);
  EXPECT_EQ(strays(root_ / "dirs/resources"), std::vector<std::string>{})
      << "the temporary file is removed";
}

TEST_F(ViewerFiles, ManyGamesWritingOneDirectoryAtOnceNeverLeaveAPartialFile) {
  // Two sources of different sizes, written in turn by several writers while a reader
  // watches: every read of the copy is one source's file, whole.
  const std::string big(300000, 'a');
  const std::string small(1000, 'b');
  fs::path sources[2] = {root_ / "a", root_ / "b"};
  write_viewer(sources[0], big, big);
  write_viewer(sources[1], small, small);
  fs::path out = root_ / "tournament";
  arena::provide_viewer_files(sources[0], out);

  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::atomic<int> reads{0};
  std::thread reader([&] {
    while (!done) {
      std::string seen = read_file(out / "resources/zarvo.js");
      if (seen != big && seen != small) ++torn;
      ++reads;
    }
  });
  std::vector<std::thread> writers;
  std::atomic<int> failures{0};
  for (int w = 0; w < 4; ++w) {
    writers.emplace_back([&, w] {
      for (int i = 0; i < 40; ++i) {
        try {
          arena::provide_viewer_files(sources[(w + i) % 2], out);
        } catch (const std::exception&) {
          ++failures;
        }
      }
    });
  }
  for (auto& writer : writers) writer.join();
  done = true;
  reader.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(torn, 0) << "of " << reads << " reads";
  EXPECT_GT(reads, 0);
  EXPECT_EQ(strays(out / "resources"), std::vector<std::string>{});
}

TEST_F(ViewerFiles, DefaultSourceIsBesideTheArenaElseInTheInstalledShareDirectory) {
  fs::path bin = root_ / "prefix/bin";
  fs::create_directories(bin);
  EXPECT_EQ(arena::default_viewer_source(bin), fs::path());

  write_viewer(root_ / "prefix/share/zarvo/resources", "js", "css");
  EXPECT_EQ(arena::default_viewer_source(bin), root_ / "prefix/share/zarvo/resources");

  write_viewer(bin / "resources", "js", "css");
  EXPECT_EQ(arena::default_viewer_source(bin), bin / "resources");

  fs::remove(bin / "resources/zarvo.css");  // an incomplete set does not count
  EXPECT_EQ(arena::default_viewer_source(bin), root_ / "prefix/share/zarvo/resources");
}

}  // namespace
