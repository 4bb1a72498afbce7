// The plan file of a directory that games are played into (tournament.txt of a tournament,
// sprt.txt of an SPRT test): the text that identifies what is played there, so that a rerun
// of the same command resumes and any other command is refused; and the tile seed drawn at
// random when the command gave none, so that a rerun plays the same tile scripts.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace arena::tournament {

// The plan files of the commands that play into a directory; a directory takes one of them.
inline constexpr std::string_view kTournamentPlanFile = "tournament.txt";
inline constexpr std::string_view kSprtPlanFile = "sprt.txt";

struct PlanCheck {
  bool recorded = false;                  // the directory already holds this plan
  std::optional<std::string> drawn_seed;  // the seed recorded with it, if one was drawn
};

// Compares dir/file_name with `plan`. Throws std::runtime_error when it holds another plan,
// or when the directory holds the plan file of another command.
PlanCheck check_plan(const std::filesystem::path& dir, std::string_view file_name,
                     const std::string& plan);

// Writes dir/file_name: the plan, then "drawn-seed SEED" when a seed was drawn. Throws
// std::runtime_error when it cannot be written.
void record_plan(const std::filesystem::path& dir, std::string_view file_name,
                 const std::string& plan, const std::optional<std::string>& drawn_seed);

// 32 hexadecimal digits from the system's random source.
std::string draw_seed();

// The directory a command is given, as an absolute path without a trailing '/', so that every
// path made from it (and written into jobs and plans) reads the same.
std::filesystem::path run_directory(const std::filesystem::path& given);

}  // namespace arena::tournament
