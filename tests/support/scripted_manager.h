// A scripted match manager for end-to-end tests of zarvo-checker: starts the real program in a
// fresh working directory with pipes on its standard input and output, answers every manager
// request, and plays both players from scripted answers or from their own view of the board.
#pragma once

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zarvo_test {

// In a scripted answer, "@" stands for the player's first legal move on its own board.
inline constexpr char kLegal = '@';

// A manager tag whose selecting character (index 17) is `c`: 'e' empty answer, 'i' time-out,
// 'r' crash, 't' early exit.
std::string managerTag(char c);

struct RefereeSetup {
  std::string binary;
  std::optional<std::string> tiles;       // contents of "tiles.txt", or no such file
  std::optional<std::string> refereeTxt;  // contents of "referee.txt", or no such file
  std::optional<std::string> logPath;     // the command-line argument, relative to the dir
  std::vector<std::pair<std::string, std::string>> env;  // set for the program only
  std::deque<std::string> answers[2];                    // per player in order; when used up, "@"
  std::string beforeLockOk;  // words the manager sends before each "lock_ok"
  std::string timeReply[2] = {"time 1503 1480", "time 20 10"};
};

// Removes its directory tree when it goes out of scope; a moved-from guard removes nothing.
class TempDir {
 public:
  TempDir();
  TempDir(TempDir&& other) noexcept : path_(std::exchange(other.path_, {})) {}
  TempDir& operator=(TempDir&&) = delete;
  ~TempDir();
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

struct RefereeRun {
  TempDir dir;                           // the working directory
  std::vector<std::string> lines;        // every line the referee wrote, newline removed
  std::vector<std::string> received[2];  // the texts each player was sent
  std::vector<std::string> faults;       // relayed moves that break the rules, odd lines
  int exitStatus = -1;                   // -1 when ended by a signal or killed as hung
  bool hung = false;

  std::string file(const std::string& relative) const;  // "" when missing
  bool exists(const std::string& relative) const;
};

RefereeRun runReferee(RefereeSetup setup);

}  // namespace zarvo_test
