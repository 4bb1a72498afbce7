#include "arena/game/game_files.h"

#include "arena/game/game_names.h"

namespace arena {
namespace fs = std::filesystem;

fs::path GameFiles::log_dir_of(const fs::path& out_dir) { return out_dir / kLogDirName; }

GameFiles::GameFiles(const fs::path& out_dir, std::string name1, std::string name2, std::string id)
    : name1_(std::move(name1)),
      name2_(std::move(name2)),
      id_(std::move(id)),
      base_(name1_ + "-" + name2_ + "." + id_),
      log_dir_(log_dir_of(out_dir)) {}

std::optional<GameFiles> GameFiles::from_log(const fs::path& log) {
  std::string file_name = log.filename().string();
  std::string_view base = file_name;
  if (!base.ends_with(".log")) return std::nullopt;
  base.remove_suffix(4);
  // Names hold no '-' or '.', so the first of each ends the names; the id holds no '.'.
  auto dash = base.find('-');
  auto dot = base.find('.');
  if (dash == std::string_view::npos || dot == std::string_view::npos || dot < dash) {
    return std::nullopt;
  }
  std::string name1(base.substr(0, dash));
  std::string name2(base.substr(dash + 1, dot - dash - 1));
  std::string id(base.substr(dot + 1));
  if (player_name_problem(name1) || player_name_problem(name2) || game_id_problem(id)) {
    return std::nullopt;
  }
  // The output directory is the log directory's parent, whatever the log directory is called.
  GameFiles files(log.parent_path().parent_path(), name1, name2, id);
  files.log_dir_ = log.parent_path();
  return files;
}

std::optional<GameFiles> GameFiles::from_file(const fs::path& file) {
  // Neither the names nor the id hold a '.', so the second '.' starts the suffix.
  const std::string name = file.filename().string();
  const auto first = name.find('.');
  if (first == std::string::npos) return std::nullopt;
  const auto second = name.find('.', first + 1);
  if (second == std::string::npos) return std::nullopt;
  return from_log(file.parent_path() / (name.substr(0, second) + ".log"));
}

fs::path GameFiles::player_errors(int player) const {
  return file(".player" + std::to_string(player) + ".err");
}

std::vector<fs::path> GameFiles::game_error_files() const {
  return {referee_errors(), player_errors(1), player_errors(2)};
}

std::vector<fs::path> GameFiles::played_files() const {
  std::vector<fs::path> files = {log(),   page(),  turns(),      transcript(),    match_errors(),
                                 usage(), notes(), failed_log(), player_files(1), player_files(2)};
  for (const fs::path& file : game_error_files()) files.push_back(file);
  return files;
}

std::string GameFiles::log_argument() const {
  return "./" + std::string(kLogDirName) + "/" + base_ + ".log";
}

fs::path GameFiles::file(std::string_view suffix) const {
  return log_dir_ / (base_ + std::string(suffix));
}

void remove_game_files(const GameFiles& files) {
  std::error_code error;
  for (const fs::path& file : files.played_files()) fs::remove_all(file, error);
}

}  // namespace arena
