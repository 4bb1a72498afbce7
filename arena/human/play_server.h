// The web page at which a person plays a seat (PersonSeat), served on 127.0.0.1 only: the page
// and its scripts, the game's state (a long poll, so that the opponent's moves show as they
// come), the person's moves, and once the game is over its replay page and log. The one file
// of the arena that includes cpp-httplib's header.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "arena/game/game_files.h"
#include "arena/human/person_seat.h"

namespace arena::human {

class PlayServer {
 public:
  // Listens on 127.0.0.1:`port` (0: a free port) and serves from a thread pool of its own at
  // once. `viewer_dir` holds the viewer files (zarvo.js, zarvo.css, zarvo-play.js,
  // zarvo-play.css). Throws std::runtime_error when the port cannot be had.
  PlayServer(PersonSeat& seat, const std::filesystem::path& viewer_dir, int port);
  ~PlayServer();  // stops serving
  PlayServer(const PlayServer&) = delete;
  PlayServer& operator=(const PlayServer&) = delete;

  // "http://127.0.0.1:PORT/"
  std::string url() const;

  // From now on the game's replay page, log and turn record are served, with the viewer files
  // the replay page loads from `out_dir`/resources/; returns the replay page's address on the
  // server.
  std::string serve_replay(const GameFiles& files, const std::filesystem::path& out_dir);

  // Returns once the page has shown the game's result and the person has closed it or left it
  // alone for a while, or a stop signal came.
  void wait_until_done();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace arena::human
