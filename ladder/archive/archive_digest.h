// The name of a source archive: the SHA-256 of its bytes, as 64 lower-case hexadecimal digits.
// The server stores an upload under it and a worker checks a download against it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace ladder::archive {

std::string sha256_hex(std::string_view bytes);

// Of the file's bytes, read in pieces. Throws std::system_error when it cannot be read.
std::string file_sha256_hex(const std::filesystem::path& file);

// Whether `text` has the form of such a name, so that it may become a file name.
bool is_sha256_hex(std::string_view text);

}  // namespace ladder::archive
