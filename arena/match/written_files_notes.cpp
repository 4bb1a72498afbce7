#include "arena/match/written_files_notes.h"

#include "arena/game/printable_text.h"

namespace arena {
namespace {

constexpr std::size_t kNamed = 8;
constexpr std::size_t kNameWidth = 80;

std::string size_text(std::uintmax_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " bytes";
  if (bytes < 1024 * 1024) return std::to_string(bytes / 1024) + " KiB";
  return std::to_string(bytes / (1024 * 1024)) + " MiB";
}

}  // namespace

std::string written_files_notes(const MatchResult& result) {
  std::string notes;
  for (int player = 1; player <= 2; ++player) {
    const PlayerRecord& record = result.players[player - 1];
    if (!record.written || record.written->files.empty()) continue;
    const auto& files = record.written->files;
    notes += record.name + " (player " + std::to_string(player) + ") wrote " +
             (record.written->more ? "more than " : "") + std::to_string(files.size()) +
             (files.size() == 1 ? " file" : " files") +
             " in its working directory, which only its sandbox saw: ";
    for (std::size_t i = 0; i < files.size() && i < kNamed; ++i) {
      notes += (i ? ", " : "") + printable(files[i].path, kNameWidth) +
               (files[i].regular ? " (" + size_text(files[i].size) + ")" : " (not a file)");
    }
    if (files.size() > kNamed) notes += ", ...";
    notes += "\n";
    if (!record.kept_files.empty()) {
      notes += "  copied to " + record.kept_files.string() + "\n";
    } else {
      notes +=
          "  they vanished with the sandbox: --keep-player-files keeps them beside the log, and "
          "standard error goes to the player's error file\n";
    }
  }
  return notes;
}

}  // namespace arena
