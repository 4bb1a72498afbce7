// Reading the files a test's programs wrote.
#pragma once

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
