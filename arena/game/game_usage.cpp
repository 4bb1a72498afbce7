#include "arena/game/game_usage.h"

#include <charconv>
#include <string_view>
#include <system_error>

#include "arena/system/atomic_file.h"
#include "arena/system/bounded_read.h"

namespace arena {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kFileLimit = 4096;

std::optional<long long> field(std::string_view line, std::string_view key) {
  std::string pattern = " " + std::string(key) + "=";
  auto at = line.find(pattern);
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view text = line.substr(at + pattern.size());
  long long value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data() || value < 0) return std::nullopt;
  if (end != text.data() + text.size() && *end != ' ') return std::nullopt;
  return value;
}

}  // namespace

std::string game_usage_text(const std::array<PlayerUsage, 2>& usage) {
  std::string text;
  for (int i = 0; i < 2; ++i) {
    text += "player" + std::to_string(i + 1) + " cpu_ms=" + std::to_string(usage[i].cpu_ms);
    if (usage[i].peak_kib) text += " peak_kib=" + std::to_string(*usage[i].peak_kib);
    if (usage[i].think_ms) text += " think_ms=" + std::to_string(*usage[i].think_ms);
    text += "\n";
  }
  return text;
}

void write_game_usage(const fs::path& file, const std::array<PlayerUsage, 2>& usage) {
  replace_file(file, game_usage_text(usage));
}

std::array<std::optional<PlayerUsage>, 2> read_game_usage(const fs::path& file) {
  std::array<std::optional<PlayerUsage>, 2> usage;
  std::string text = read_head(file, kFileLimit);
  std::string_view rest = text;
  while (!rest.empty()) {
    std::string_view line = take_line(rest);
    int player = line.starts_with("player1 ") ? 0 : line.starts_with("player2 ") ? 1 : -1;
    auto cpu = field(line, "cpu_ms");
    if (player < 0 || !cpu) continue;
    usage[player] = PlayerUsage{*cpu, field(line, "peak_kib"), field(line, "think_ms")};
  }
  return usage;
}

}  // namespace arena
