// A PostgreSQL 15 server of a test's own: a fresh cluster (initdb) in a scratch directory under
// /tmp, listening only on a Unix socket in that directory, stopped and removed when the object
// goes. Tests run as root in CI and PostgreSQL refuses to run as root, so then the directory
// belongs to user postgres and the server's programs run as that user (runuser); the directory
// under /tmp keeps this working from a checkout that only root may enter.
#pragma once

#include <filesystem>
#include <string>

namespace test_support {

class ScratchPostgres {
 public:
  // Throws std::runtime_error, with initdb's or the server's log, when it cannot start.
  ScratchPostgres();
  ~ScratchPostgres();
  ScratchPostgres(const ScratchPostgres&) = delete;
  ScratchPostgres& operator=(const ScratchPostgres&) = delete;

  // A libpq connection string of a new, empty database.
  std::string new_database();

 private:
  std::string run_as_owner(const std::string& command) const;

  std::filesystem::path dir_;
  int databases_ = 0;
};

// Where the PostgreSQL 15 programs are ("/usr/lib/postgresql/15/bin"); empty when missing.
std::filesystem::path postgres_bin_dir();

}  // namespace test_support
