// An entrant's versions: numbered 1, 2, ... per entrant as they are submitted, each queued for a
// build job. A version that builds and passes becomes the entrant's active one and the one
// before retires, keeping its rating and games; one that fails keeps its reason and build log and
// leaves the active one in place.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "ladder/store/database.h"

namespace ladder::store {

// A submission the ladder does not take, with the HTTP status that says why.
struct SubmissionRefused : std::runtime_error {
  SubmissionRefused(int status, const std::string& why) : std::runtime_error(why), status(status) {}
  int status;
};

struct NewVersion {
  std::int64_t id = 0;
  int number = 0;
};

// Checks that the entrant may submit (not disabled, submissions not frozen, fewer than
// `per_day` versions in the last 24 hours), then adds the version of the stored sources
// `sha256` and its build job. Throws SubmissionRefused.
NewVersion add_version(Database& db, std::int64_t entrant, std::string_view sha256, int per_day,
                       std::int64_t now);

// The refusal add_version would give, checked before an upload is read.
void check_may_submit(Database& db, std::int64_t entrant, int per_day, std::int64_t now);

// The outcome of a version's build job.
void set_version_built(Transaction& tx, std::int64_t version, bool passed,
                       const std::string& reason);

struct VersionRef {
  std::int64_t version_id = 0;
  std::string entrant;
  int number = 0;
  std::string sources;
};
VersionRef version_ref(Transaction& tx, std::int64_t version);

}  // namespace ladder::store
