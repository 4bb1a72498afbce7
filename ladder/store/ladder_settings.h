// The ladder's own settings, one row each in the settings table: the ladder's seed (made at the
// first start and kept, so every pair's tiles follow from it and the job's id), whether
// submissions are frozen, the state of the final round, and a counter that every change to the
// games counted in the ratings bumps, which tells the ratings thread that a refit is due (also
// when an admin command in another process made the change).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ladder/store/database.h"

namespace ladder::store {

std::optional<std::string> setting(Transaction& tx, std::string_view name);
void set_setting(Transaction& tx, std::string_view name, std::string_view value);

// Makes the ladder's seed when there is none yet; returns it.
std::string ensure_ladder_seed(Database& db);
// 64 hex digits for a pair job: SHA-256 of the ladder's seed and the job's id.
std::string pair_seed(Transaction& tx, std::int64_t job);

bool submissions_frozen(Transaction& tx);
void set_submissions_frozen(Transaction& tx, bool frozen);

enum class FinalState { kNone, kRunning, kDone };
FinalState final_state(Transaction& tx);
void set_final_state(Transaction& tx, FinalState state);

std::int64_t ratings_generation(Transaction& tx);
void bump_ratings_generation(Transaction& tx);

}  // namespace ladder::store
