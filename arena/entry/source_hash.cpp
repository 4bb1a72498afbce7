#include "arena/entry/source_hash.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "arena/entry/entry_file.h"
#include "rng/secure_rng.h"

namespace arena::entry {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kDigestBytes = 32;

// What a build of `recipe` leaves in the entry, so that a rebuild, which finds the products of
// the build before, hashes what the first build hashed. A Python entry's product is its main
// file, a source: only the byte-compiled files are its build's. A JavaScript entry's build only
// checks its main file, a source too, and makes nothing.
bool is_build_product(const fs::path& relative, const Recipe& recipe) {
  if (recipe.name == "python") return *relative.begin() == "__pycache__";
  if (recipe.name == "javascript") return false;
  // Cargo writes Cargo.lock when the crate comes without one: with no dependencies it is always
  // the same.
  if (recipe.name == "rust" && relative == "Cargo.lock") return true;
  if (recipe.name == "java") {
    return relative.extension() == ".class" ||
           relative == fs::path(recipe.product).replace_extension();
  }
  return relative == recipe.product;
}

void inject_sized(shake256_context& hash, std::string_view bytes) {
  const std::uint64_t size = bytes.size();
  std::array<unsigned char, 8> length{};
  for (std::size_t i = 0; i < length.size(); ++i) length[i] = (size >> (8 * i)) & 0xff;
  shake256_inject(&hash, length.data(), length.size());
  shake256_inject(&hash, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

std::string contents_of(const fs::path& file) {
  std::error_code error;
  if (fs::is_symlink(file, error)) return "link " + fs::read_symlink(file).string();
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + file.string());
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error("cannot read " + file.string());
  return "file " + text;
}

}  // namespace

std::string source_hash(const fs::path& entry, const Recipe& recipe) {
  std::vector<fs::path> files;
  std::error_code error;
  for (fs::recursive_directory_iterator it(entry, error), end; !error && it != end;
       it.increment(error)) {
    if (it->is_directory(error) && !it->is_symlink(error)) continue;
    fs::path relative = it->path().lexically_relative(entry);
    if (relative == kEntryFile || relative == kBuildLog || is_build_product(relative, recipe))
      continue;
    files.push_back(std::move(relative));
  }
  if (error) throw std::runtime_error("cannot list " + entry.string() + ": " + error.message());
  std::sort(files.begin(), files.end());
  shake256_context hash;
  shake256_init(&hash);
  for (const fs::path& file : files) {
    inject_sized(hash, file.string());
    inject_sized(hash, contents_of(entry / file));
  }
  shake256_flip(&hash);
  std::array<unsigned char, kDigestBytes> digest{};
  shake256_extract(&hash, digest.data(), digest.size());
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (unsigned char byte : digest) {
    text += kHex[byte >> 4];
    text += kHex[byte & 15];
  }
  return text;
}

}  // namespace arena::entry
