#include "ladder/worker/leased_job.h"

#include <algorithm>
#include <cctype>

#include "ladder/archive/archive_digest.h"

namespace ladder::worker {

namespace {

using nlohmann::json;

const json& field(const json& object, const char* name) {
  if (!object.is_object() || !object.contains(name)) {
    throw JobError(std::string("the job has no field \"") + name + "\"");
  }
  return object[name];
}

long long whole(const json& object, const char* name, long long low, long long high) {
  const json& value = field(object, name);
  if (!value.is_number_integer() || value.get<long long>() < low || value.get<long long>() > high) {
    throw JobError(std::string("the job's \"") + name + "\" is no whole number from " +
                   std::to_string(low) + " to " + std::to_string(high));
  }
  return value.get<long long>();
}

std::string text(const json& object, const char* name, std::size_t longest) {
  const json& value = field(object, name);
  if (!value.is_string() || value.get<std::string>().empty() ||
      value.get<std::string>().size() > longest) {
    throw JobError(std::string("the job's \"") + name + "\" is no text of 1 to " +
                   std::to_string(longest) + " characters");
  }
  return value.get<std::string>();
}

bool is_hex(const std::string& value) {
  return std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isxdigit(c); });
}

LeasedVersion read_version(const json& object) {
  LeasedVersion version;
  version.version_id = whole(object, "version_id", 1, 1ll << 53);
  version.entrant = text(object, "entrant", 200);
  version.number = whole(object, "number", 0, 1ll << 53);
  version.sources = text(object, "sources", 64);
  if (!archive::is_sha256_hex(version.sources)) {
    throw JobError("the job's sources are no SHA-256 in lower-case hexadecimal");
  }
  return version;
}

}  // namespace

LeasedJob read_leased_job(const json& object, LeasedJob& partial) {
  partial.id = whole(object, "id", 1, 1ll << 53);
  partial.lease = text(object, "lease", 1000);
  LeasedJob job = partial;
  job.attempt = static_cast<int>(whole(object, "attempt", 1, 1000));
  job.lease_seconds = static_cast<int>(whole(object, "lease_seconds", 1, 86400));
  job.heartbeat_seconds = static_cast<int>(whole(object, "heartbeat_seconds", 1, 86400));
  job.kind = text(object, "kind", 10);
  if (job.kind == "build") {
    job.versions.push_back(read_version(field(object, "version")));
  } else if (job.kind == "pair") {
    const json& players = field(object, "players");
    if (!players.is_array() || players.size() != 2) throw JobError("a pair job names two players");
    for (const json& player : players) job.versions.push_back(read_version(player));
    if (job.versions[0].version_id == job.versions[1].version_id) {
      throw JobError("a pair job names one version twice");
    }
    job.seed = text(object, "seed", 64);
    if (job.seed.size() != 64 || !is_hex(job.seed)) throw JobError("the seed is no 64 hex digits");
    job.ranked = object.value("ranked", true);
    job.final = object.value("final", false);
  } else {
    throw JobError("a job of the unknown kind \"" + job.kind.substr(0, 20) + "\"");
  }
  return job;
}

std::string report_reason(std::string_view reason) {
  constexpr std::size_t kLongest = 4000;
  if (reason.size() <= kLongest) return std::string(reason);
  return std::string(reason.substr(0, kLongest - 3)) + "...";
}

std::string version_label(const LeasedVersion& version) {
  return version.entrant + " v" + std::to_string(version.number);
}

std::string game_name(const LeasedVersion& version) {
  const std::string number = "_v" + std::to_string(version.number);
  std::string name;
  for (unsigned char c : version.entrant) {
    name += std::isalnum(c) && c < 0x80 ? static_cast<char>(c) : '_';
  }
  name = name.substr(0, 32 - std::min<std::size_t>(number.size(), 20));
  return name + number;
}

}  // namespace ladder::worker
