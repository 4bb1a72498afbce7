#include "ladder/worker/game_report.h"

#include "arena/system/bounded_read.h"

namespace ladder::worker {

namespace {

// Together well below the report's 32 MB cap.
constexpr std::size_t kLogCap = 4u << 20;
constexpr std::size_t kPageCap = 8u << 20;
constexpr std::size_t kTurnsCap = 8u << 20;
constexpr std::size_t kUsageCap = 64u << 10;
constexpr std::size_t kStderrCap = 1u << 20;
constexpr std::size_t kNotesCap = 256u << 10;

// The turn record's data: the file is a script, "zarvoTurnRecord(JSON);\n", for a page opened
// from disk; the report carries the JSON alone.
std::string turns_json(std::string script) {
  constexpr std::string_view kHead = "zarvoTurnRecord(", kTail = ");\n";
  if (script.starts_with(kHead) && script.ends_with(kTail)) {
    return script.substr(kHead.size(), script.size() - kHead.size() - kTail.size());
  }
  return script;
}

}  // namespace

nlohmann::json game_report(const arena::series::GameRecord& record, const arena::GameFiles& files,
                           const std::array<long long, 2>& seats) {
  const arena::GameOutcome outcome = arena::series::outcome_of(record);
  std::error_code error;
  const bool has_notes = std::filesystem::exists(files.notes(), error);
  return {{"players", {seats[0], seats[1]}},
          {"points", {record.values[0], record.values[1]}},
          {"outcome", record.description},
          {"winner", outcome.winner},
          {"log", arena::read_head(files.log(), kLogCap)},
          {"replay", arena::read_head(files.page(), kPageCap)},
          {"turns", turns_json(arena::read_head(files.turns(), kTurnsCap))},
          {"usage", arena::read_head(files.usage(), kUsageCap)},
          {"stderr",
           {arena::read_tail(files.player_errors(1), kStderrCap),
            arena::read_tail(files.player_errors(2), kStderrCap)}},
          {"notes", has_notes ? nlohmann::json(arena::read_head(files.notes(), kNotesCap))
                              : nlohmann::json()}};
}

}  // namespace ladder::worker
