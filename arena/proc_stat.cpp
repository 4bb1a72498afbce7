#include "arena/proc_stat.h"

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

}  // namespace arena
