#include "arena/match/written_files_notes.h"

#include <vector>

#include "arena/game/printable_text.h"

namespace arena {
namespace {

constexpr std::size_t kNamed = 8;
constexpr std::size_t kNameWidth = 80;

std::string size_text(std::uintmax_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " bytes";
  if (bytes < 1024 * 1024) return std::to_string(bytes / 1024) + " KiB";
  if (bytes < 1024 * 1024 * 1024) return std::to_string(bytes / (1024 * 1024)) + " MiB";
  return std::to_string(bytes / (1024 * 1024 * 1024)) + " GiB";
}

std::string described(const sandbox::WrittenFile& file) {
  std::string what = file.regular ? size_text(file.size) : file.link ? "a link" : "not a file";
  return printable(file.path, kNameWidth) + " (" + what + ")";
}

// The first kNamed of `files`, then "..." for the rest.
std::string named(const std::vector<const sandbox::WrittenFile*>& files) {
  std::string text;
  for (std::size_t i = 0; i < files.size() && i < kNamed; ++i) {
    text += (i ? ", " : "") + described(*files[i]);
  }
  if (files.size() > kNamed) text += ", ...";
  return text;
}

}  // namespace

std::string written_files_notes(const MatchResult& result) {
  std::string notes;
  for (int player = 1; player <= 2; ++player) {
    const PlayerRecord& record = result.players[player - 1];
    if (!record.written || record.written->files.empty()) continue;
    const auto& files = record.written->files;
    std::vector<const sandbox::WrittenFile*> all, left_out;
    for (const auto& file : files) {
      all.push_back(&file);
      if (file.left_out) left_out.push_back(&file);
    }
    notes += record.name + " (player " + std::to_string(player) + ") wrote " +
             (record.written->more ? "more than " : "") + std::to_string(files.size()) +
             (files.size() == 1 ? " file" : " files") +
             " in its working directory, which only its sandbox saw: " + named(all) + "\n";
    if (!record.kept_files.empty()) {
      notes += "  copied to " + record.kept_files.string() + "\n";
    } else if (left_out.empty()) {
      notes +=
          "  they vanished with the sandbox: --keep-player-files keeps them beside the log, and "
          "standard error goes to the player's error file\n";
    }
    if (!left_out.empty()) {
      notes += "  left out of the copy, which keeps at most " + size_text(kKeptPlayerBytes) +
               " of a player's files: " + named(left_out) + "\n";
    }
    if (record.written->more && (!record.kept_files.empty() || !left_out.empty())) {
      notes += "  nothing past its first " + std::to_string(files.size()) + " files was copied\n";
    }
  }
  return notes;
}

}  // namespace arena
