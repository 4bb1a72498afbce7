// A worker's report of a job it leased, applied once. The report's files (the build log, the
// games' logs, replays, turn records, error files) are written and flushed first, into places
// named by the job and the lease; then one transaction checks that the lease is still this
// worker's, counts the games (the versions' records, the pairings' totals) and closes the job.
// Killed between the two steps the server has counted nothing and the worker's retry writes the
// same files again; the same report once more finds its lease reported and changes nothing.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ladder/store/data_dir.h"
#include "ladder/store/database.h"

namespace ladder::store {

struct GameReport {
  std::array<std::int64_t, 2> players{};  // version ids in seat order
  std::array<int, 2> points{};
  std::string outcome;
  int winner = 0;  // 0 a draw, else the winning seat
  std::string log, replay, turns, usage;
  std::array<std::string, 2> stderr_text;
  std::optional<std::string> notes;
};

enum class ReportKind { kBuild, kPair, kError };

struct JobReport {
  ReportKind kind = ReportKind::kError;
  std::int64_t job = 0;
  bool built = false, passed = false;  // build
  std::string reason;                  // build (when it failed) and error
  std::string build_log;
  std::vector<GameReport> games;  // pair: the two games, players[0] first as player 1
};

enum class ReportOutcome { kApplied, kDuplicate, kNotHeld, kMismatch };

struct ReportAnswer {
  ReportOutcome outcome = ReportOutcome::kApplied;
  std::string problem;  // kMismatch: what does not fit the job
};

ReportAnswer apply_report(Database& db, const DataDir& dir, std::int64_t worker,
                          std::string_view lease, const JobReport& report, std::int64_t now);

// Removes the games a worker played from the versions' records and the ratings' totals and queues
// their pairs again (a worker found cheating or broken). Returns how many games.
int void_worker_games(Database& db, std::int64_t worker, std::int64_t now);

}  // namespace ladder::store
