// What `zarvo-ladder serve` is told: where its data and database are, where it listens, the
// leases' times, and the limits on what an entrant may submit.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace ladder::server {

struct ServerOptions {
  std::filesystem::path data_dir;
  std::string database_url;  // empty: sqlite:DATA_DIR/ladder.db
  std::string host = "127.0.0.1";
  int port = 8080;  // 0: any free port
  int lease_seconds = 90;
  int heartbeat_seconds = 30;
  int threads = 8;
  std::uint64_t max_packed_bytes = 5ull << 20;
  std::uint64_t max_unpacked_bytes = 50ull << 20;
  std::uint64_t max_files = 2000;
  int versions_per_day = 10;
  std::uint64_t max_report_bytes = 32ull << 20;
};

}  // namespace ladder::server
