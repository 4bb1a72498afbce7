#include "arena/tournament/report_format.h"

#include <cctype>

namespace arena::tournament {
namespace fs = std::filesystem;

std::string html(std::string_view text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      case '\'': escaped += "&#39;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

// A relative path as a link target: each byte outside the unreserved set
// percent-encoded.
std::string url_path(const fs::path& path) {
  static const char* hex = "0123456789ABCDEF";
  std::string url;
  for (unsigned char c : path.generic_string()) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~' || c == '/') {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += hex[c >> 4];
      url += hex[c & 15];
    }
  }
  return url;
}

}  // namespace arena::tournament
