#include "arena/match/referee_protocol.h"

#include <charconv>
#include <optional>
#include <string_view>

#include "arena/match/manager_tags.h"
#include "arena/process/pipe_writer.h"
#include "arena/process/stop_signals.h"

namespace arena {
namespace {

// How long a referee that has reported is given to exit.
constexpr Milliseconds kExitAfterReport{5000};

bool consume(std::string_view& text, std::string_view prefix) {
  if (!text.starts_with(prefix)) return false;
  text.remove_prefix(prefix.size());
  return true;
}

// "1" or "2" and nothing else, as an index 0 or 1.
std::optional<int> player_index(std::string_view text) {
  if (text == "1") return 0;
  if (text == "2") return 1;
  return std::nullopt;
}

std::optional<int> take_int(std::string_view& text) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data()) return std::nullopt;
  text.remove_prefix(static_cast<size_t>(end - text.data()));
  return value;
}

// "M report R1 R2 DESCRIPTION", after "M report ".
bool parse_report(std::string_view text, RefereeReport& report) {
  auto first = take_int(text);
  if (!first || !consume(text, " ")) return false;
  auto second = take_int(text);
  if (!second) return false;
  if (!text.empty() && !consume(text, " ")) return false;
  report.results = {*first, *second};
  report.description = std::string(text);
  return true;
}

constexpr std::size_t kMaxAnswerWord = 1023;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// The reply to "I listen": the answer's word or the tag saying why there is none; nothing when
// the game has run out of time.
std::optional<std::string> listen_reply(const PlayerAnswer& answer) {
  switch (answer.kind) {
    case PlayerAnswer::Kind::kLine: {
      auto word = answer_word(answer.line);
      return word ? *word : tag_text(Tag::kEmptyAnswer);
    }
    case PlayerAnswer::Kind::kTimedOut: return tag_text(Tag::kTimeOut);
    case PlayerAnswer::Kind::kCrashed: return tag_text(Tag::kCrashed);
    case PlayerAnswer::Kind::kExited: return tag_text(Tag::kExited);
    case PlayerAnswer::Kind::kGameTimedOut: return std::nullopt;
  }
  return tag_text(Tag::kExited);
}

// The reply to "I request_time": "time REAL USED" in milliseconds.
std::string time_reply(const PlayerTimes& times) {
  return "time " + std::to_string(times.real.count()) + " " + std::to_string(times.used.count());
}

std::string shown(std::string_view line) {
  constexpr std::size_t kShown = 200;
  return "\"" + std::string(line.substr(0, kShown)) + (line.size() > kShown ? "...\"" : "\"");
}

}  // namespace

std::optional<std::string> answer_word(std::string_view line) {
  std::size_t begin = 0;
  while (begin < line.size() && is_blank(line[begin])) ++begin;
  if (begin == line.size()) return std::nullopt;
  std::size_t end = begin;
  while (end < line.size() && !is_blank(line[end]) && end - begin < kMaxAnswerWord) ++end;
  std::string word(line.substr(begin, end - begin));
  if (word[0] == '<') word[0] = '?';
  return word;
}

RefereeReport run_referee_protocol(LineReader& from_referee, int to_referee, ChildProcess& referee,
                                   std::array<Seat*, 2> seats, TimePoint deadline) {
  RefereeReport report;
  auto fail = [&](std::string why) {
    report.failure = std::move(why);
    return report;
  };
  std::string line;
  for (;;) {
    ReadStatus status = from_referee.read_line(line, deadline, referee.exit_fd());
    // A referee that writes without pause never lets the read time out: check here as well.
    if (status == ReadStatus::kTimeout || Clock::now() >= deadline) {
      return fail("the referee did not finish the game within its game timeout");
    }
    if (int sig = stop_signal_received()) return fail("stopped by signal " + std::to_string(sig));
    if (status != ReadStatus::kLine) break;
    if (report.reported) return fail("the referee wrote after its report: " + shown(line));

    std::string_view rest = line;
    std::optional<std::string> reply;
    if (rest.size() >= 2 && rest[1] == ' ' && player_index(rest.substr(0, 1))) {
      seats[*player_index(rest.substr(0, 1))]->send(rest.substr(2));
    } else if (rest == "I lock") {
      reply = "lock_ok";
    } else if (rest == "I unlock") {
    } else if (consume(rest, "I listen ") && player_index(rest)) {
      reply = listen_reply(seats[*player_index(rest)]->answer(deadline));
      if (!reply) return fail("the game did not finish within its game timeout");
    } else if (consume(rest, "I request_time ") && player_index(rest)) {
      reply = time_reply(seats[*player_index(rest)]->times());
    } else if (consume(rest, "M report ") && parse_report(rest, report)) {
      report.reported = true;
    } else {
      return fail("the referee wrote a line the arena cannot understand: " + shown(line));
    }
    if (reply && !write_before(to_referee, *reply + "\n", deadline)) {
      return fail("the referee stopped reading its input");
    }
  }

  auto exit = referee.wait_exit(std::min(deadline, Clock::now() + kExitAfterReport));
  if (!report.reported) {
    return fail("the referee ended" + (exit ? " with " + exit->describe() : "") +
                " without reporting a result");
  }
  if (!exit) return fail("the referee did not exit after its report");
  if (!exit->success()) return fail("the referee ended with " + exit->describe());
  return report;
}

}  // namespace arena
