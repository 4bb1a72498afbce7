#include "arena/system/proc_stat.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace arena {

std::vector<std::string> proc_stat_fields(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  if (!std::getline(in, stat)) return {};
  auto close = stat.rfind(')');
  if (close == std::string::npos) return {};
  std::istringstream rest(stat.substr(close + 1));
  std::vector<std::string> fields;
  for (std::string field; rest >> field;) fields.push_back(field);
  return fields;
}

std::vector<ProcessStat> all_process_stats() {
  std::vector<ProcessStat> processes;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    const std::string name = entry.path().filename().string();
    pid_t pid = 0;
    auto [end, failure] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (failure != std::errc() || end != name.data() + name.size()) continue;
    std::vector<std::string> fields = proc_stat_fields(pid);
    if (fields.size() >= 2) processes.push_back({pid, std::move(fields)});
  }
  return processes;
}

}  // namespace arena
