#include "arena/game/viewer_files.h"

#include <array>
#include <fstream>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include "arena/process/program_path.h"
#include "arena/system/atomic_file.h"

namespace arena {
namespace fs = std::filesystem;

namespace {

constexpr std::array<std::string_view, 2> kViewerFiles = {"zarvo.js", "zarvo.css"};
constexpr std::string_view kJspath = "../resources/";
// The viewer files are tens of kilobytes; anything far larger is not one of them.
constexpr std::size_t kMaxViewerFile = 16 << 20;

bool holds_viewer_files(const fs::path& dir) {
  std::error_code error;
  for (std::string_view file : kViewerFiles) {
    if (!fs::is_regular_file(dir / file, error)) return false;
  }
  return true;
}

// The whole file, or nothing when it cannot be read (missing, a directory, too large).
std::optional<std::string> read_small_file(const fs::path& file) {
  std::error_code error;
  if (!fs::is_regular_file(file, error)) return std::nullopt;
  std::uintmax_t size = fs::file_size(file, error);
  if (error || size > kMaxViewerFile) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  // One byte more than the size says, so that a file that grew meanwhile is noticed.
  std::string text(static_cast<std::size_t>(size) + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad()) return std::nullopt;
  text.resize(static_cast<std::size_t>(in.gcount()));
  if (text.size() > size) return std::nullopt;
  return text;
}

}  // namespace

fs::path default_viewer_source(const fs::path& arena_dir) {
  for (const fs::path& dir :
       {arena_dir / "resources", arena_dir / ".." / "share/zarvo/resources"}) {
    if (holds_viewer_files(dir)) return dir.lexically_normal();
  }
  return {};
}

std::string provide_viewer_files(const fs::path& source, const fs::path& out_dir) {
  fs::path from = source;
  if (from.empty()) {
    fs::path arena_dir = own_directory();
    from = default_viewer_source(arena_dir);
    if (from.empty()) {
      std::cerr << "zarvo-arena: warning: no viewer files in " << (arena_dir / "resources")
                << " or " << (arena_dir / ".." / "share/zarvo/resources")
                << "; the replay page will show no board" << std::endl;
      return std::string(kJspath);
    }
  }
  fs::path copy_dir = out_dir / "resources";
  std::error_code error;
  fs::create_directories(copy_dir, error);
  if (error || !fs::is_directory(copy_dir, error)) {
    throw std::runtime_error("cannot create the viewer directory " + copy_dir.string() +
                             (error ? ": " + error.message() : ": not a directory"));
  }
  for (std::string_view file : kViewerFiles) {
    std::optional<std::string> text = read_small_file(from / file);
    if (!text) {
      throw std::runtime_error(
          "the viewer file " + (from / file).string() +
          " cannot be read (--resources names the directory of zarvo.js and zarvo.css)");
    }
    if (read_small_file(copy_dir / file) == text) continue;
    // In one step, so that a page (or a game writing the same copy at the same time) only ever
    // sees a whole file; readable by everyone, like any file a web server hands out.
    replace_file(copy_dir / file, *text, FileReaders::kEveryone);
  }
  return std::string(kJspath);
}

}  // namespace arena
