#include "arena/match/transcript.h"

#include <cerrno>
#include <system_error>

#include "arena/game/printable_text.h"

namespace arena {
namespace {

constexpr std::size_t kLineWidth = 1024;
constexpr std::size_t kFileLimit = 16u << 20;

}  // namespace

Transcript::Transcript(const std::filesystem::path& file)
    : file_(std::fopen(file.c_str(), "we")), start_(Clock::now()) {
  if (!file_) throw std::system_error(errno, std::generic_category(), file.string());
  std::fputs(
      "# seconds since the start, player, direction (< to the player, > from it, ! what "
      "became of it), line\n",
      file_.get());
  std::fflush(file_.get());
}

void Transcript::write(int seat, std::string_view direction, std::string_view text,
                       TimePoint when) {
  if (cut_) return;
  if (written_ > kFileLimit) {
    std::fputs("# the transcript stops here: it reached its size limit\n", file_.get());
    std::fflush(file_.get());
    cut_ = true;
    return;
  }
  const double seconds = std::chrono::duration<double>(when - start_).count();
  const std::string line = printable(text, kLineWidth);
  const int n = std::fprintf(file_.get(), "%10.3f %d%.*s %s\n", seconds, seat,
                             static_cast<int>(direction.size()), direction.data(), line.c_str());
  std::fflush(file_.get());
  if (n > 0) written_ += static_cast<std::size_t>(n);
}

}  // namespace arena
