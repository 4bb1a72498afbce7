// The plan file of a directory that games are played into (tournament.txt of a tournament,
// sprt.txt of an SPRT test), the one place that knows its lines: the text that identifies what
// is played there, so that a rerun of the same command resumes and any other command is
// refused; and the tile seed drawn at random when the command gave none, so that a rerun plays
// the same tile scripts.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "arena/series/tournament_plan.h"

namespace arena::series {

// The plan files of the commands that play into a directory; a directory takes one of them.
inline constexpr std::string_view kTournamentPlanFile = "tournament.txt";
inline constexpr std::string_view kSprtPlanFile = "sprt.txt";

// An SPRT test's hypotheses and error rates, as its plan keeps them.
struct SprtPlanLines {
  double elo0 = 0, elo1 = 0, alpha = 0, beta = 0;
};

// What a plan file says. A tournament's plan has a format, games per pair and its number of
// games; an SPRT test's has its hypotheses instead.
struct PlanRecord {
  std::optional<SprtPlanLines> sprt;
  std::optional<Format> format;
  std::optional<int> games_per_pair;
  std::optional<std::size_t> games;
  std::optional<std::string> seed;  // the seed the command gave
  std::vector<std::string> match_options;
  std::vector<PlanStage> earlier_stages;
  std::vector<TournamentPlayer> players;
  std::optional<std::string> drawn_seed;  // not part of the plan's text: recorded after it
};

// The text that identifies the plan (everything but the drawn seed), one "key value" a line.
std::string plan_text(const PlanRecord& plan);

// The plan a file's text holds; lines it does not know are passed over.
PlanRecord parse_plan(std::string_view text);

// The plan recorded in dir/file_name, or nothing without that file.
std::optional<PlanRecord> read_plan(const std::filesystem::path& dir, std::string_view file_name);

// "round-robin" or "gauntlet", as the plan and the messages name a format.
std::string_view format_name(Format format);

// The match options as the plan's line holds them, separated by spaces.
std::string joined_options(const std::vector<std::string>& options);

struct PlanCheck {
  bool recorded = false;                  // the directory already holds this plan
  std::optional<std::string> drawn_seed;  // the seed recorded with it, if one was drawn
};

// Compares dir/file_name with `plan`. Throws std::runtime_error when it holds another plan,
// or when the directory holds the plan file of another command.
PlanCheck check_plan(const std::filesystem::path& dir, std::string_view file_name,
                     const std::string& plan);

// Replaces dir/file_name in one step: the plan, then "drawn-seed SEED" when a seed was drawn.
// Throws std::runtime_error when it cannot be written.
void record_plan(const std::filesystem::path& dir, std::string_view file_name,
                 const std::string& plan, const std::optional<std::string>& drawn_seed);

// 32 hexadecimal digits from the system's random source.
std::string draw_seed();

// The directory a command is given, as an absolute path without a trailing '/', so that every
// path made from it (and written into jobs and plans) reads the same.
std::filesystem::path run_directory(const std::filesystem::path& given);

}  // namespace arena::series
