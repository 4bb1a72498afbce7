// Reading the files a test's programs wrote, and the directory a test writes them into.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace test_support {

// The whole file; empty when it cannot be read.
inline std::string read_file(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The fields of a line of a results file (a trailing empty field included), a quoted field
// ("a, ""b""") unquoted.
inline std::vector<std::string> csv_fields(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
      fields.back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

// An empty directory of the running test's own below the temporary directory, named
// "<prefix><test name>_<pid>".
inline std::filesystem::path fresh_test_dir(const std::string& prefix) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::filesystem::path dir = std::filesystem::temp_directory_path() /
                              (prefix + info->name() + "_" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

// Writes a tile script of seed "654321" and more tiles than any game uses.
inline void write_tile_script(const std::filesystem::path& file) {
  std::ofstream script(file);
  script << "4 2\n654321\n";
  std::string tile = "123456";
  for (int i = 0; i < 500; ++i) {
    std::next_permutation(tile.begin(), tile.end());
    script << tile << "\n";
  }
}

}  // namespace test_support
