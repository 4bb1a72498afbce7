#include "arena/match/timeout_explanation.h"

#include <cstdio>

#include "arena/game/printable_text.h"

namespace arena {
namespace {

std::string seconds(Milliseconds time) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", static_cast<double>(time.count()) / 1000);
  return text;
}

// The time used against the limit that fired.
std::string limit_line(const TimeoutDetail& detail, bool cpu_clock) {
  switch (detail.limit) {
    case TimeLimit::kCpu:
      return "it used " + seconds(detail.used) + " of CPU time, its limit is " +
             seconds(detail.allowed) + " (--clock cpu)";
    case TimeLimit::kMove:
      return "it was charged " + seconds(detail.used) +
             " of thinking time for this answer, its move limit is " + seconds(detail.allowed) +
             " (--move-limit)";
    case TimeLimit::kGame: break;
  }
  return "it was charged " + seconds(detail.used) + " of thinking time, its limit is " +
         seconds(detail.allowed) + (cpu_clock ? " (--wall-limit)" : "");
}

}  // namespace

std::vector<std::string> timeout_explanation(const TimeoutDetail& detail, bool cpu_clock,
                                             const std::optional<std::string>& unfinished_output) {
  std::vector<std::string> lines = {limit_line(detail, cpu_clock)};
  if (unfinished_output && !unfinished_output->empty()) {
    lines.push_back("it wrote \"" + printable(*unfinished_output, 60) +
                    "\" but never ended the line: end every answer with a newline and flush it");
  } else if (detail.busy) {
    lines.push_back(
        std::string("it was still computing when its time ran out: a slow answer, not a lost "
                    "one; spend less time per move ") +
        (detail.limit == TimeLimit::kMove ? "(the move limit holds for each answer)"
                                          : "(the limit holds for the whole game)"));
  } else {
    lines.push_back(
        "it wrote nothing since the last line it was sent and sat idle: an answer left in the "
        "output buffer is the usual cause; end every answer with a newline and flush it at once");
  }
  return lines;
}

}  // namespace arena
