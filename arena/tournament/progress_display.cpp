#include "arena/tournament/progress_display.h"

#include <algorithm>
#include <cstdio>

#include "arena/tournament/tournament_reports.h"

namespace arena::tournament {
using namespace arena::series;

namespace {

std::string clock_text(double seconds) {
  long s = static_cast<long>(seconds + 0.5);
  char text[32];
  if (s >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  }
  return text;
}

}  // namespace

ProgressDisplay::ProgressDisplay(std::ostream& out, bool terminal, int total, int done)
    : out_(out),
      terminal_(terminal),
      total_(total),
      done_(done),
      done_at_start_(done),
      start_(std::chrono::steady_clock::now()) {
  if (terminal_) redraw();
}

std::string ProgressDisplay::progress_line() const {
  constexpr int kWidth = 30;
  int filled = total_ ? kWidth * done_ / total_ : kWidth;
  double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  int played = done_ - done_at_start_;
  std::string eta = played ? clock_text(elapsed / played * (total_ - done_)) : "?";
  return "[" + std::string(filled, '#') + std::string(kWidth - filled, '.') + "] " +
         std::to_string(done_) + "/" + std::to_string(total_) + " games  elapsed " +
         clock_text(elapsed) + "  left " + eta;
}

void ProgressDisplay::redraw() {
  std::string picture = progress_line() + "\n" + standings_;
  // Back to the first line of the previous picture, and clear everything below.
  if (drawn_lines_ > 0) out_ << "\033[" << drawn_lines_ << "F";
  out_ << "\033[J" << picture << std::flush;
  drawn_lines_ = static_cast<int>(std::count(picture.begin(), picture.end(), '\n'));
}

void ProgressDisplay::game_finished(const FieldStandings& field, const std::string& line) {
  ++done_;
  if (!terminal_) {
    out_ << "[" << done_ << "/" << total_ << "] " << line << std::endl;
    return;
  }
  // The picture must fit on the screen to be redrawn in place.
  constexpr std::size_t kShownPlayers = 20;
  std::size_t hidden = field.rows.size() > kShownPlayers ? field.rows.size() - kShownPlayers : 0;
  standings_ = "\n" + standings_table(field, kShownPlayers);
  if (hidden) standings_ += "... and " + std::to_string(hidden) + " more\n";
  redraw();
}

void ProgressDisplay::game_failed(const std::string& line) {
  if (terminal_ && drawn_lines_ > 0) {
    out_ << "\033[" << drawn_lines_ << "F\033[J";
    drawn_lines_ = 0;
  }
  out_ << line << std::endl;
  if (terminal_) redraw();
}

void ProgressDisplay::tick() {
  if (terminal_) redraw();
}

void ProgressDisplay::close() {
  if (terminal_) {
    redraw();
    drawn_lines_ = 0;
  }
}

}  // namespace arena::tournament
