#include "tests/support/scratch_postgres.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace test_support {

namespace {

constexpr const char* kBinDir = "/usr/lib/postgresql/15/bin";

std::string read_all(const std::filesystem::path& file) {
  std::ifstream in(file);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

std::filesystem::path postgres_bin_dir() {
  return std::filesystem::exists(std::filesystem::path(kBinDir) / "initdb") ? kBinDir : "";
}

// The directory's name is mkdtemp's, letters and digits only, so it may stand unquoted-safe in
// single quotes in the commands below.
std::string ScratchPostgres::run_as_owner(const std::string& command) const {
  std::string line = ::geteuid() == 0 ? "runuser -u postgres -- sh -c '" + command + "'"
                                      : "sh -c '" + command + "'";
  return line + " >>" + (dir_ / "commands.log").string() + " 2>&1";
}

ScratchPostgres::ScratchPostgres() {
  char name[] = "/tmp/zarvo-postgres-XXXXXX";
  if (::mkdtemp(name) == nullptr) throw std::runtime_error("cannot make a scratch directory");
  dir_ = name;
  if (::geteuid() == 0) {
    const passwd* user = ::getpwnam("postgres");
    if (user == nullptr || ::chown(name, user->pw_uid, user->pw_gid) != 0) {
      std::filesystem::remove_all(dir_);
      throw std::runtime_error("no user postgres to run PostgreSQL as");
    }
  }
  std::string bin = kBinDir, data = (dir_ / "data").string(), socket = dir_.string();
  std::string init = run_as_owner(bin + "/initdb -D " + data + " -A trust -U postgres");
  std::string start =
      run_as_owner(bin + "/pg_ctl -D " + data + " -l " + socket + "/server.log -w -t 60 -o \"-k " +
                   socket + " -c listen_addresses= -c fsync=off\" start");
  if (std::system(init.c_str()) != 0 || std::system(start.c_str()) != 0) {
    std::string log = read_all(dir_ / "commands.log") + read_all(dir_ / "server.log");
    std::filesystem::remove_all(dir_);
    throw std::runtime_error("PostgreSQL did not start:\n" + log);
  }
}

ScratchPostgres::~ScratchPostgres() {
  std::string stop = run_as_owner(std::string(kBinDir) + "/pg_ctl -D " + (dir_ / "data").string() +
                                  " -m immediate -w stop");
  if (std::system(stop.c_str()) != 0) {
    // Nothing more to do: the directory goes anyway, and the server with its socket.
  }
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::string ScratchPostgres::new_database() {
  std::string name = "ladder" + std::to_string(++databases_);
  std::string create =
      run_as_owner(std::string(kBinDir) + "/createdb -h " + dir_.string() + " -U postgres " + name);
  if (std::system(create.c_str()) != 0) {
    throw std::runtime_error("createdb failed:\n" + read_all(dir_ / "commands.log"));
  }
  return "host=" + dir_.string() + " user=postgres dbname=" + name;
}

}  // namespace test_support
