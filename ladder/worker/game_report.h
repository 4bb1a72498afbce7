// One finished game of a pair as its report carries it (the GAME of POST /api/worker/report):
// who sat where, the points, the referee's result and every file the server keeps of it, each
// read up to a cap (a player's standard error keeps its end, where a crash is told).
#pragma once

#include <array>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "arena/game/game_files.h"
#include "arena/series/game_record.h"

namespace ladder::worker {

// `seats` are the version ids of player 1 and player 2.
nlohmann::json game_report(const arena::series::GameRecord& record, const arena::GameFiles& files,
                           const std::array<long long, 2>& seats);

}  // namespace ladder::worker
