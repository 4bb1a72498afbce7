// Text made safe for the pages a tournament writes: HTML escaping and relative links.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace arena::tournament {

// `text` with & < > " ' escaped, for HTML text and attribute values.
std::string html(std::string_view text);

// A relative path as a link target: each byte outside the unreserved set percent-encoded.
std::string url_path(const std::filesystem::path& path);

}  // namespace arena::tournament
