#include "arena/series/not_built.h"

#include <nlohmann/json.hpp>

#include "arena/system/atomic_file.h"
#include "arena/system/bounded_read.h"

namespace arena::series {
namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// Far more than any field of entries takes.
constexpr std::size_t kFileLimit = 1024 * 1024;

}  // namespace

void write_not_built(const fs::path& dir, const std::vector<NotBuiltEntry>& entries) {
  json list = json::array();
  for (const NotBuiltEntry& entry : entries) {
    list.push_back(
        {{"name", entry.name}, {"reason", entry.reason}, {"entry", entry.entry.string()}});
  }
  replace_file(
      dir / kNotBuiltFile,
      json{{"not_built", list}}.dump(2, ' ', false, json::error_handler_t::replace) + "\n");
}

std::vector<NotBuiltEntry> read_not_built(const fs::path& dir) {
  std::error_code error;
  const fs::path file = dir / kNotBuiltFile;
  if (!fs::is_regular_file(file, error)) return {};
  const std::string text = read_head(file, kFileLimit + 1);
  if (text.size() > kFileLimit) return {};
  const json document = json::parse(text, nullptr, false);
  if (!document.is_object() || !document.contains("not_built") ||
      !document["not_built"].is_array()) {
    return {};
  }
  std::vector<NotBuiltEntry> entries;
  for (const json& item : document["not_built"]) {
    if (!item.is_object() || !item.value("name", json()).is_string() ||
        !item.value("reason", json()).is_string() || !item.value("entry", json()).is_string()) {
      continue;
    }
    entries.push_back({item["name"].get<std::string>(), item["reason"].get<std::string>(),
                       item["entry"].get<std::string>()});
  }
  return entries;
}

}  // namespace arena::series
