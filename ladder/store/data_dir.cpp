#include "ladder/store/data_dir.h"

#include "ladder/store/durable_file.h"

namespace ladder::store {

void DataDir::create() const {
  for (const char* dir : {"sources", "builds", "games", "uploads"}) {
    make_durable_directories(root_ / dir);
  }
}

void DataDir::discard_unfinished_uploads() const {
  for (const auto& entry : std::filesystem::directory_iterator(uploads())) {
    std::filesystem::remove_all(entry.path());
  }
}

std::filesystem::path DataDir::sources(std::string_view sha256) const {
  return root_ / "sources" / (std::string(sha256) + ".tar.gz");
}

std::filesystem::path DataDir::build_log(std::int64_t version_id) const {
  return root_ / "builds" / (std::to_string(version_id) + ".log");
}

std::filesystem::path DataDir::game(std::string_view files) const {
  return root_ / "games" / std::string(files);
}

std::string game_files_name(std::int64_t job, int seat_order) {
  return std::to_string(job) + "-" + std::to_string(seat_order);
}

}  // namespace ladder::store
