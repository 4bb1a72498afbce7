#include "arena/game/seat_input.h"

#include <cassert>

#include "arena/game/game_outcome.h"

namespace arena {
namespace {

// How a disqualification came about, from the referee's message when the report does not say.
std::string reason_of(const GameLog& log, const LoggedDisqualification& entry) {
  if (log.report) {
    std::string text = result_texts(log.report->description)[entry.player - 1];
    if (is_disqualification(text)) return text;
  }
  const std::string& message = entry.message;
  if (message.find(" exceeded global time limit") != std::string::npos) return "TIMEOUT";
  if (message.find(" crashed") != std::string::npos) return "CRASH";
  if (message.find(" exited too early") != std::string::npos) return "EXIT";
  return "ILLEGAL";
}

// The answer an illegal move's message quotes: "Player Player 1 made an illegal move Hh (wrong
// length)." or "... made a move Hhv with too many overlaps."; an answer is one word, maybe none.
std::string quoted_answer(const std::string& message) {
  for (std::string_view lead : {" made an illegal move ", " made a move "}) {
    auto at = message.find(lead);
    if (at == std::string::npos) continue;
    std::string rest = message.substr(at + lead.size());
    return rest.substr(0, rest.find(' '));
  }
  return {};
}

class SeatStory {
 public:
  SeatStory(const GameLog& log, int seat) : log_(log), seat_(seat) {}

  SeatInput tell() {
    const int colour = log_.colours[seat_ - 1];
    if (seat_ == 1) {
      line(0, std::to_string(colour));
      line(0, log_.start_move);
      line(0, "Start");
    }
    const int count = static_cast<int>(log_.moves.size());
    for (int move = 1; move <= count; ++move) {
      const LoggedMove& laid = log_.moves[move - 1];
      if (laid.player == seat_) {
        if (active_) turn(move, laid);
        continue;
      }
      if (move == 1) {
        line(1, std::to_string(colour));
        line(1, log_.start_move);
      }
      if (active_) line(move, laid.text);
    }
    const LoggedDisqualification* out = log_.disqualification_of(seat_);
    if (active_ && out && out->move == count + 1) {
      // Disqualified in the move that ended the game, whose tile no line of the log holds.
      input_.cut_short = "the log does not record the tile of move " + std::to_string(out->move) +
                         ", in which the game ended with a second disqualification";
      return std::move(input_);
    }
    if (log_.points) line(count + 1, "Quit");
    return std::move(input_);
  }

 private:
  void line(int move, std::string text) {
    input_.events.push_back({SeatEvent::Kind::kLine, move, std::move(text), {}});
  }

  void turn(int move, const LoggedMove& laid) {
    line(move, laid.tile());
    const LoggedDisqualification* out = log_.disqualification_of(seat_);
    if (!out || out->move != move) {
      input_.events.push_back({SeatEvent::Kind::kAnswer, move, laid.answer(), {}});
      return;
    }
    active_ = false;
    const std::string reason = reason_of(log_, *out);
    if (reason != "ILLEGAL") {
      input_.events.push_back({SeatEvent::Kind::kAnswer, move, {}, reason});
      return;
    }
    input_.events.push_back({SeatEvent::Kind::kAnswer, move, quoted_answer(out->message), {}});
    line(move, "Quit");
  }

  const GameLog& log_;
  const int seat_;
  bool active_ = true;
  SeatInput input_;
};

}  // namespace

SeatInput seat_input(const GameLog& log, int seat) {
  assert(seat == 1 || seat == 2);
  return SeatStory(log, seat).tell();
}

}  // namespace arena
