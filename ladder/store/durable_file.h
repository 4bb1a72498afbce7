// Files that must survive the server being killed at any moment: written whole to a temporary
// beside their place, flushed to the disk, renamed into place and the directory flushed too.
// A file is durable before the database names it, so the database never points at a file that a
// crash lost, and writing it again (a retried report) replaces it with the same bytes.
#pragma once

#include <filesystem>
#include <string_view>

namespace ladder::store {

// Throws std::system_error naming `path`.
void write_durable_file(const std::filesystem::path& path, std::string_view content);

// Writes `content` to the new file `path` and flushes it, without the rename: for the files of a
// directory that is itself renamed into place once they are all written.
void write_synced_file(const std::filesystem::path& path, std::string_view content);

// Writes `content` to the new file `path`, not yet flushed: for files that one
// sync_file_system flushes together before anything names them.
void write_unsynced_file(const std::filesystem::path& path, std::string_view content);

// Flushes everything written to the file system that holds `path`: one flush for many files.
void sync_file_system(const std::filesystem::path& path);

// Moves the finished file `from` to `to` (same file system) and flushes both to the disk.
void move_durable_file(const std::filesystem::path& from, const std::filesystem::path& to);

// Flushes the file or directory `path` to the disk.
void sync_path(const std::filesystem::path& path);

// create_directories, each new directory flushed in its parent.
void make_durable_directories(const std::filesystem::path& dir);

}  // namespace ladder::store
