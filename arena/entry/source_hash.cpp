#include "arena/entry/source_hash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "arena/entry/entry_file.h"
#include "arena/system/unique_fd.h"
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

void inject_length(shake256_context& hash, std::uint64_t size) {
  std::array<unsigned char, 8> length{};
  for (std::size_t i = 0; i < length.size(); ++i) length[i] = (size >> (8 * i)) & 0xff;
  shake256_inject(&hash, length.data(), length.size());
}

void inject_sized(shake256_context& hash, std::string_view bytes) {
  inject_length(hash, bytes.size());
  shake256_inject(&hash, bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

// A file of the entry as "file " and its bytes, read in pieces (a source may be large), a link
// as "link " and its target, anything else (a FIFO, which would block a read, a socket, a
// device) as "special": never opened.
void inject_contents(shake256_context& hash, const fs::path& file) {
  std::error_code error;
  const fs::file_status status = fs::symlink_status(file, error);
  if (error) throw std::runtime_error("cannot read " + file.string() + ": " + error.message());
  if (fs::is_symlink(status)) return inject_sized(hash, "link " + fs::read_symlink(file).string());
  if (!fs::is_regular_file(status)) return inject_sized(hash, "special");
  UniqueFd fd(::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
    throw std::runtime_error("cannot read " + file.string());
  constexpr std::string_view kPrefix = "file ";
  inject_length(hash, kPrefix.size() + static_cast<std::uint64_t>(st.st_size));
  shake256_inject(&hash, kPrefix.data(), static_cast<std::uint32_t>(kPrefix.size()));
  std::array<char, 64 * 1024> buffer;
  std::uint64_t left = static_cast<std::uint64_t>(st.st_size);
  while (left > 0) {
    ssize_t got = ::read(fd.get(), buffer.data(), std::min<std::uint64_t>(buffer.size(), left));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) throw std::runtime_error("cannot read " + file.string());
    shake256_inject(&hash, buffer.data(), static_cast<std::uint32_t>(got));
    left -= static_cast<std::uint64_t>(got);
  }
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
    inject_contents(hash, entry / file);
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
