// A job as the server leases it (POST /api/worker/lease): a build of one version, or a pair of
// games between two. Read strictly, since every field ends up in a path, a command or a report:
// a job that does not read is refused whole.
#pragma once

#include <array>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace ladder::worker {

struct LeasedVersion {
  long long version_id = 0;
  std::string entrant;
  long long number = 0;
  std::string sources;  // 64 lower-case hexadecimal digits
};

struct LeasedJob {
  long long id = 0;
  std::string lease;
  int attempt = 1;
  int lease_seconds = 90;
  int heartbeat_seconds = 30;
  std::string kind;  // "build" or "pair"
  bool ranked = true;
  bool final = false;
  std::string seed;                     // a pair's: 64 hexadecimal digits
  std::vector<LeasedVersion> versions;  // one to build, or the pair's two, player 1 first
};

// A job the worker cannot do; what() says why, for the report of kind "error".
struct JobError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The lease's job; throws JobError for one that does not read (the lease and id, when they
// read, are in `partial`, so that the job can still be reported).
LeasedJob read_leased_job(const nlohmann::json& job, LeasedJob& partial);

// A report's reason the server takes: at most 4000 bytes, cut with "..." when longer.
std::string report_reason(std::string_view reason);

// "alice v4"
std::string version_label(const LeasedVersion& version);

// The player's name in a game: letters, digits and underscores of the entrant's name and its
// number ("alice_v4"), which the game's file names and replay page show.
std::string game_name(const LeasedVersion& version);

}  // namespace ladder::worker
