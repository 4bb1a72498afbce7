// The two games of a pair as a directory holds them. A pair counts only whole: when just one
// of its games is finished, the pair is played again from the start, and that game's files
// are removed first so that it is never counted twice (its replay, on the same tile script,
// takes its place).
#pragma once

#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

#include "arena/game/game_files.h"
#include "arena/series/game_record.h"
#include "arena/series/tournament_plan.h"

namespace arena::series {

using PairRecords = std::array<std::optional<GameRecord>, 2>;

// The files of a scheduled game in `dir`, played or not.
GameFiles game_files(const std::filesystem::path& dir, const TournamentSettings& settings,
                     const ScheduledGame& game);

// Where a scheduled game's log is (or will be) in `dir`.
std::filesystem::path game_log(const std::filesystem::path& dir, const TournamentSettings& settings,
                               const ScheduledGame& game);

// The records of a pair's finished games, from their logs.
PairRecords read_pair(const std::filesystem::path& dir, const TournamentSettings& settings,
                      const std::array<ScheduledGame, 2>& games);

inline bool whole(const PairRecords& pair) { return pair[0] && pair[1]; }
inline bool half(const PairRecords& pair) { return pair[0].has_value() != pair[1].has_value(); }

// Removes the files of the finished game of a half-played pair. Returns whether there was one.
bool discard_half_pair(const PairRecords& pair, const std::filesystem::path& dir);

// What a directory holds of some pairs when a run resumes.
struct PlayedPairs {
  std::map<int, PairRecords> whole;  // the pairs played whole, by pair number
  int discarded = 0;                 // finished games of half-played pairs, removed
  std::set<int> numbers() const;     // of the whole pairs
};

// Reads the pairs of `pairs` from `dir`, discarding the finished game of each half-played one
// so that the pair is played again whole.
PlayedPairs read_played_pairs(const std::filesystem::path& dir, const TournamentSettings& settings,
                              const std::vector<std::array<ScheduledGame, 2>>& pairs);

// What `name` scored over the two games of a pair, in half points: 0 (two losses) to 4.
int pair_half_points(const GameRecord& first, const GameRecord& second, std::string_view name);

}  // namespace arena::series
