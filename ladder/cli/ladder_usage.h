// What the ladder's commands share on their command lines: the data directory and database
// options, and the wording of a bad command line.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "arena/cli/command_line.h"

namespace ladder::cli {

struct StoreOptions {
  std::filesystem::path data_dir;
  std::string database_url;  // empty: the data directory's SQLite database
};

// --data DIR (required by check_store_options) and --db URL.
void add_store_options(arena::cli::CommandLine& line, StoreOptions& options);
// Throws arena::cli::UsageError when --data is missing.
void check_store_options(const StoreOptions& options);

std::string database_url(const StoreOptions& options);

// Writes "zarvo-ladder COMMAND: MESSAGE" and a pointer to --help; returns 2.
int usage_error(std::string_view command, std::string_view message);

}  // namespace ladder::cli
