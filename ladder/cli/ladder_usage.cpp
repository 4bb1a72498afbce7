#include "ladder/cli/ladder_usage.h"

#include <iostream>

#include "ladder/store/database.h"

namespace ladder::cli {

void add_store_options(arena::cli::CommandLine& line, StoreOptions& options) {
  line.option("--data", [&](const std::string& v) { options.data_dir = v; });
  line.option("--db", [&](const std::string& v) { options.database_url = v; });
}

void check_store_options(const StoreOptions& options) {
  if (options.data_dir.empty()) throw arena::cli::UsageError("--data DIR is required");
}

std::string database_url(const StoreOptions& options) {
  return options.database_url.empty() ? store::default_database_url(options.data_dir)
                                      : options.database_url;
}

int usage_error(std::string_view command, std::string_view message) {
  std::cerr << "zarvo-ladder " << command << ": " << message << "\n(see zarvo-ladder " << command
            << " --help)\n";
  return 2;
}

}  // namespace ladder::cli
