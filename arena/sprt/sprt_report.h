// What `zarvo-arena sprt` reports: the progress line after each pair, the closing summary, and
// DIR/sprt.json, the machine-readable state of the test.
#pragma once

#include <filesystem>
#include <string>

#include "arena/stats/sprt.h"

namespace arena::sprt {

struct SprtReport {
  std::string player;    // the tested player, A
  std::string opponent;  // B
  stats::SprtParameters parameters;
  stats::SprtStatus status;
};

// "pairs 12 (24 games)  [0 1 3 5 3]  LLR 1.52 (-2.94, 2.94)  Elo +45.3 [+10.2, +80.1]
// LOS 98.7%", on one line without its end.
std::string sprt_progress_line(const SprtReport& report);

// Several lines: the players, the pentanomial, the LLR with its bounds, the Elo estimate with
// its interval and the LOS, then the decision: "H1 accepted", "H0 accepted" or, when
// `stopped_at_limit`, "no decision after N pairs".
std::string sprt_summary(const SprtReport& report, bool stopped_at_limit);

// The JSON object of the test: {"pentanomial": [n0, ..., n4], "llr", "lower", "upper", "elo",
// "elo_low", "elo_high", "los", "pairs", "games", "result": "H0" | "H1" | null, and the test's
// "player", "opponent", "elo0", "elo1", "alpha", "beta"}. A figure that is not a finite number
// (the Elo of a record of only wins, anything before the first pair) is null.
std::string sprt_json(const SprtReport& report);

// Replaces dir/sprt.json in one step. Throws std::runtime_error when it cannot.
void write_sprt_json(const std::filesystem::path& dir, const SprtReport& report);

}  // namespace arena::sprt
