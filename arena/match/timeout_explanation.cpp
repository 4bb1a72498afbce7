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

// A limit over the game, with what the increments had added to it.
std::string game_limit(const TimeoutDetail& detail) {
  std::string text = seconds(detail.allowed);
  if (detail.earned > Milliseconds::zero())
    text += " plus " + seconds(detail.earned) + " of increments earned";
  return text;
}

// The time used against the limit that fired.
std::string limit_line(const TimeoutDetail& detail, bool cpu_clock) {
  switch (detail.limit) {
    case TimeLimit::kCpu:
      return "it used " + seconds(detail.used) + " of CPU time, its limit is " +
             game_limit(detail) + " (--clock cpu)";
    case TimeLimit::kMove:
      return "it was charged " + seconds(detail.used) +
             " of thinking time for this answer, its move limit is " + seconds(detail.allowed) +
             " (--move-limit)";
    case TimeLimit::kGame: break;
  }
  return "it was charged " + seconds(detail.used) + " of thinking time, its limit is " +
         game_limit(detail) + (cpu_clock ? " (--wall-limit)" : "");
}

// A player that wrote nothing and used no CPU time: what the kernel showed it waiting in. Only
// one blocked reading its standard input gets the hint about flushing: it waits for a line it
// thinks it was sent, which is most often its own answer, still in its output buffer.
std::string idle_line(const TreeWait& idle) {
  std::string line = "it wrote nothing since the last line it was sent and sat idle";
  switch (idle.activity) {
    case TreeActivity::kReadingInput:
      return line +
             ", blocked reading its standard input: it waits for a line it thinks it was sent, "
             "or its answer is stuck in its output buffer; end every answer with a newline and "
             "flush it at once";
    case TreeActivity::kSleeping:
      return line + ", asleep (in " + idle.call +
             "), not waiting for input: it slept past its time";
    case TreeActivity::kWaiting:
      return line + ", waiting (in " + idle.call + "), not reading its standard input";
    case TreeActivity::kRunning:
    case TreeActivity::kUnknown: break;
  }
  return line;
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
    lines.push_back(idle_line(detail.idle));
  }
  return lines;
}

}  // namespace arena
