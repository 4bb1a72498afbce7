// The files of one game and where they lie: everything the arena writes for a game goes into
// the log directory "refereelogs/" of an output directory, under the game's base name
// "<name1>-<name2>.<id>" plus a suffix (".log", ".html", ".player1.err", ...). The names are
// built and parsed here only, so that a match, a tournament and a summary rebuilt from logs
// always agree on them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace arena {

class GameFiles {
 public:
  // The log directory's name, also the link by which the referee reaches it.
  static constexpr std::string_view kLogDirName = "refereelogs";

  // The log directory of an output directory.
  static std::filesystem::path log_dir_of(const std::filesystem::path& out_dir);

  // The names must be valid (see game_names.h); they are not checked here.
  GameFiles(const std::filesystem::path& out_dir, std::string name1, std::string name2,
            std::string id);

  // The game whose log is `log` ("<dir>/refereelogs/<name1>-<name2>.<id>.log"), or nothing when
  // the file name has another form or holds a name or id that a game cannot have.
  static std::optional<GameFiles> from_log(const std::filesystem::path& log);
  // The game that any of its files belongs to ("<name1>-<name2>.<id><suffix>"), or nothing.
  static std::optional<GameFiles> from_file(const std::filesystem::path& file);

  const std::string& name1() const { return name1_; }
  const std::string& name2() const { return name2_; }
  const std::string& id() const { return id_; }
  const std::filesystem::path& log_dir() const { return log_dir_; }
  // "<name1>-<name2>.<id>"
  const std::string& base() const { return base_; }

  std::filesystem::path log() const { return file(".log"); }
  std::filesystem::path page() const { return file(".html"); }
  std::filesystem::path tiles() const { return file(".tiles.txt"); }
  // What each player used: one line per player, written by the match after the game.
  std::filesystem::path usage() const { return file(".usage.txt"); }
  // Why its players were disqualified, written by the match after the game (see game_notes.h);
  // there only when somebody was.
  std::filesystem::path notes() const { return file(".notes.json"); }
  std::filesystem::path referee_errors() const { return file(".referee.err"); }
  // The standard error of player 1 or 2.
  std::filesystem::path player_errors(int player) const;
  // The directory that receives the files player 1 or 2 wrote in its sandbox
  // (--keep-player-files).
  std::filesystem::path player_files(int player) const {
    return file(".player" + std::to_string(player) + ".files");
  }
  // Every line the players received and sent (--transcript).
  std::filesystem::path transcript() const { return file(".transcript.txt"); }
  // The record of the game's turns that its replay page loads (see turn_record.h).
  std::filesystem::path turns() const { return file(".turns.js"); }
  // The standard error of the match command itself, when a tournament runs it.
  std::filesystem::path match_errors() const { return file(".arena.err"); }
  // A log kept for diagnosis under a name that no longer counts as a game log.
  std::filesystem::path failed_log() const { return file(".log.failed"); }
  // The error files a played game leaves: the referee's and both players'.
  std::vector<std::filesystem::path> game_error_files() const;
  // Every file a game, played or not finished, leaves (the tile script aside): the player-files
  // directories and a failed log included.
  std::vector<std::filesystem::path> played_files() const;

  // The log path as the referee is given it, from a working directory that holds a link
  // kLogDirName to the log directory.
  std::string log_argument() const;

 private:
  std::filesystem::path file(std::string_view suffix) const;

  std::string name1_, name2_, id_, base_;
  std::filesystem::path log_dir_;
};

// Removes every one of the game's played_files() (a directory with its contents), so that the
// game no longer counts as played and nothing of an earlier try misleads. The tile script stays:
// the game is played again on it.
void remove_game_files(const GameFiles& files);

}  // namespace arena
