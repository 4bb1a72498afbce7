// The token a submit or a worker shows the server, read from a file of its own (never from the
// command line, where every user of the machine sees it in the process list).
#pragma once

#include <filesystem>
#include <ostream>
#include <string>

namespace ladder::client {

// The file's one line, its trailing newline and spaces trimmed; at most 4 KiB. A file that other
// users may read gets a warning on `warnings`. Throws std::runtime_error for a missing, empty or
// oversized file, or a token with a space or a control character in it.
std::string read_token_file(const std::filesystem::path& file, std::ostream& warnings);

}  // namespace ladder::client
