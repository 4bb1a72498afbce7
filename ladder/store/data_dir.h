// Where each of the ladder's files lives under the data directory. Every name is made here from
// a content hash or an id, never from anything an entrant or a worker chose:
//   sources/SHA256.tar.gz        an entrant's submitted sources
//   builds/VERSION_ID.log        a version's build log
//   games/JOB-SEAT/              a game's log, replay.html, turns.json, usage, stderr1, stderr2,
//                                notes.json (SEAT 0: players as the job lists them, 1: swapped)
//   uploads/                     uploads on their way in
//   final/                       the final standings and their site
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace ladder::store {

class DataDir {
 public:
  explicit DataDir(std::filesystem::path root) : root_(std::move(root)) {}

  // Creates the directories; throws std::filesystem::filesystem_error.
  void create() const;
  // Removes the uploads a killed server left half-written: only for a server starting, never
  // beside one that serves.
  void discard_unfinished_uploads() const;

  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path sources(std::string_view sha256) const;
  std::filesystem::path build_log(std::int64_t version_id) const;
  std::filesystem::path game(std::string_view files) const;
  std::filesystem::path uploads() const { return root_ / "uploads"; }
  std::filesystem::path final_dir() const { return root_ / "final"; }

 private:
  std::filesystem::path root_;
};

// The name of a game's directory under games/.
std::string game_files_name(std::int64_t job, int seat_order);

}  // namespace ladder::store
