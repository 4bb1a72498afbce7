#include "ladder/client/token_file.h"

#include <sys/stat.h>

#include <stdexcept>

#include "arena/system/bounded_read.h"

namespace ladder::client {

namespace {

constexpr std::size_t kMaxToken = 4096;

}  // namespace

std::string read_token_file(const std::filesystem::path& file, std::ostream& warnings) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    throw std::runtime_error("cannot read the token file " + file.string());
  }
  if (info.st_mode & (S_IRGRP | S_IROTH)) {
    warnings << "warning: the token file " << file.string()
             << " is readable by other users; chmod 600 it" << std::endl;
  }
  std::string token = arena::read_head(file, kMaxToken + 1);
  if (token.size() > kMaxToken)
    throw std::runtime_error("the token file " + file.string() + " is over 4 KiB");
  while (!token.empty() && (token.back() == '\n' || token.back() == '\r' || token.back() == ' ')) {
    token.pop_back();
  }
  if (token.empty()) throw std::runtime_error("the token file " + file.string() + " is empty");
  for (char c : token) {
    if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f) {
      throw std::runtime_error("the token file " + file.string() +
                               " holds more than one token (a space or control character)");
    }
  }
  return token;
}

}  // namespace ladder::client
