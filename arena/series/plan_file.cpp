#include "arena/series/plan_file.h"

#include <array>
#include <fstream>
#include <random>
#include <stdexcept>

#include "arena/system/bounded_read.h"

namespace arena::tournament {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSeedLine = "drawn-seed ";
constexpr std::size_t kMaxSeed = 64;

std::string kind_of(std::string_view file_name) {
  return file_name == kSprtPlanFile ? "an SPRT test" : "a tournament";
}

}  // namespace

PlanCheck check_plan(const fs::path& dir, std::string_view file_name, const std::string& plan) {
  for (std::string_view other : {kTournamentPlanFile, kSprtPlanFile}) {
    std::error_code error;
    if (other != file_name && fs::exists(dir / other, error)) {
      throw std::runtime_error(dir.string() + " holds " + kind_of(other) + " (see " +
                               (dir / other).string() + "); use a new directory");
    }
  }
  fs::path file = dir / file_name;
  PlanCheck check;
  std::error_code missing;
  if (!fs::exists(file, missing)) return check;
  // Read no more than the plan, a seed line and one byte to notice a longer file.
  std::string existing = read_head(file, plan.size() + kSeedLine.size() + kMaxSeed + 2);
  std::string_view rest = existing;
  bool same = rest.starts_with(plan);
  if (same) {
    rest.remove_prefix(plan.size());
    if (rest.starts_with(kSeedLine) && rest.ends_with('\n')) {
      std::string_view seed = rest.substr(kSeedLine.size(), rest.size() - kSeedLine.size() - 1);
      same = !seed.empty() && seed.size() <= kMaxSeed &&
             seed.find_first_of(" \n") == std::string_view::npos;
      check.drawn_seed = std::string(seed);
    } else {
      same = rest.empty();
    }
  }
  if (!same) {
    throw std::runtime_error(dir.string() + " holds another " +
                             (file_name == kSprtPlanFile ? "SPRT test" : "tournament") + " (see " +
                             file.string() +
                             "); use a new directory, or the same players and options");
  }
  check.recorded = true;
  return check;
}

void record_plan(const fs::path& dir, std::string_view file_name, const std::string& plan,
                 const std::optional<std::string>& drawn_seed) {
  fs::path file = dir / file_name;
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << plan;
  if (drawn_seed) out << kSeedLine << *drawn_seed << "\n";
  out.flush();
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

std::string draw_seed() {
  std::random_device source;
  static const char* hex = "0123456789abcdef";
  std::string seed;
  for (int i = 0; i < 4; ++i) {
    unsigned value = source();
    for (int nibble = 0; nibble < 8; ++nibble) seed += hex[(value >> (4 * nibble)) & 15];
  }
  return seed;
}

fs::path run_directory(const fs::path& given) {
  fs::path dir = fs::absolute(given).lexically_normal();
  return dir.has_filename() ? dir : dir.parent_path();
}

}  // namespace arena::tournament
