// What a tournament plays: its players, its format and the list of games,
// numbered from 1. The plan is fixed by the command line alone, so a rerun in
// the same directory finds the same games under the same file names.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "arena/series/not_built.h"

namespace arena::series {

struct TournamentPlayer {
  std::string name;
  std::string command;  // as given: a command line, split into words like a shell does
  // A built entry's sources-shake256 (see arena/entry/entry_file.h): a run refuses a player
  // whose program changed under its name. Empty for a plain command or an entry built without.
  std::string sources = {};
};

enum class Format { round_robin, gauntlet };

// A tournament that grew (more players, more games per pair) keeps the games it had: each
// earlier stage is the field it had then, its first `players` players, and its games per pair.
struct PlanStage {
  int players = 0;
  int games_per_pair = 0;
};

struct TournamentSettings {
  std::vector<TournamentPlayer> players;
  Format format = Format::round_robin;
  int games_per_pair = 2;  // even: the games of a pairing come in pairs
  // The seed of every game's tile script; none: one drawn at random and kept in the
  // directory (see plan_file.h).
  std::optional<std::string> seed;
  // Options handed to every `zarvo-arena match` as they stand (time limit and
  // the like).
  std::vector<std::string> match_options;
  // The stages the tournament grew from, oldest first; empty for one that never grew.
  std::vector<PlanStage> earlier_stages;
};

struct ScheduledGame {
  int number = 0;  // 1, 2, ...; also the game id in the file names
  int first = 0;   // index into the players: moves first, is "player 1" of the game
  int second = 0;
  int pair = 0;  // 1, 2, ...: games 2k-1 and 2k form pair k and share its tile script
};

// Every pairing plays games_per_pair / 2 pairs: two games on the same tile script, with the
// seats swapped. Pairs are numbered round by round (every pairing's first pair, then every
// pairing's second pair, ...), so that standings of a half-played tournament are balanced;
// pair k holds games 2k-1 (the pairing's first player moves first) and 2k. Round robin pairs
// every player with every other; a gauntlet pairs the first player with each of the others.
// A grown tournament schedules its stages one after the other, each stage only the pairs its
// pairings have not had yet, so that the games of earlier stages keep their numbers.
std::vector<ScheduledGame> schedule_games(const TournamentSettings& settings);

// How many games schedule_games makes, without making them.
long long scheduled_game_count(const TournamentSettings& settings);

// The two games of pair `pair` between players a and b: a moves first in the first.
std::array<ScheduledGame, 2> paired_games(int pair, int a, int b);

// "NAME=COMMAND", or a bare COMMAND whose player is named after its program
// file; COMMAND may also be a built entry's directory (see arena/entry/entry_file.h), which
// plays the entry's command and by default is named after the directory. Throws
// std::invalid_argument with a readable message.
TournamentPlayer parse_player(std::string_view text);

// A players file: one player a line in the form of parse_player; blank lines
// and lines starting with '#' are skipped. Throws std::invalid_argument (with
// the line number) or std::runtime_error when the file cannot be read.
std::vector<TournamentPlayer> read_players_file(const std::string& path);

// An entry below `dir` that entry_players leaves out.
struct LeftOutEntry {
  // What the site lists as not built; nothing for a directory that is no entry of DIR's own (a
  // link), whose build log is not the run's to hand out.
  std::optional<NotBuiltEntry> entry;
  std::string why;  // a line for the organiser: the entry's path or record, and the reason
};

// Every built entry directly below `dir` whose build succeeded, named after its directory; the
// others are described in `left_out`. Throws std::invalid_argument when `dir` holds no entry.
std::vector<TournamentPlayer> entry_players(const std::string& dir,
                                            std::vector<LeftOutEntry>& left_out);

// Throws std::invalid_argument for fewer than two players, two players of the
// same name, or a player whose command holds a control character in a word.
void check_players(const std::vector<TournamentPlayer>& players);

// A text that identifies the tournament, kept in its directory to refuse a
// rerun of another tournament there. Its line "games N" gives the number of games.
std::string describe_plan(const TournamentSettings& settings);

// The games a plan written by describe_plan holds, or nothing when `plan` has no such line.
std::optional<std::size_t> planned_games(std::string_view plan);

}  // namespace arena::series
