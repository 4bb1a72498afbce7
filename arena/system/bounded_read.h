// Reading files the arena did not write itself (logs, error files, plans) in bounded memory:
// at most `limit` bytes of the start or of the end, whatever the file's size. A missing or
// unreadable file reads as empty.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace arena {

std::string read_head(const std::filesystem::path& file, std::size_t limit);
std::string read_tail(const std::filesystem::path& file, std::size_t limit);

// The first line of `text` (without its '\n'), which it removes from `text`.
std::string_view take_line(std::string_view& text);

}  // namespace arena
