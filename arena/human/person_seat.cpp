#include "arena/human/person_seat.h"

#include <nlohmann/json.hpp>

#include "arena/process/stop_signals.h"
#include "arena/system/bounded_read.h"

namespace arena::human {
namespace {

// A clock that is off still measures the person's thinking time, against a limit never reached.
constexpr Clock::duration kNoLimit = std::chrono::hours(10000);
// How often a wait for the person looks for a stop signal, which cannot wake it itself.
constexpr Milliseconds kSignalPoll{200};
// The game log's start, which holds the colours.
constexpr std::size_t kLogHead = 4096;

nlohmann::json optional_points(const std::optional<int>& points) {
  return points ? nlohmann::json(*points) : nlohmann::json(nullptr);
}

}  // namespace

PersonSeat::PersonSeat(PersonSetup setup)
    : setup_(std::move(setup)),
      view_(setup_.seat),
      clock_(setup_.clock.value_or(PlayerClock(kNoLimit))) {}

void PersonSeat::send(std::string_view text) {
  std::lock_guard lock(mutex_);
  if (gone_) return;
  view_.received(text);
  clock_.delivered(Clock::now());
  changed();
}

PlayerAnswer PersonSeat::answer(TimePoint game_deadline) {
  std::unique_lock lock(mutex_);
  if (gone_) return {*gone_, {}};
  const TimePoint own_deadline = clock_.deadline(Clock::now());
  const TimePoint deadline = std::min(own_deadline, game_deadline);
  while (!handed_in_) {
    const TimePoint now = Clock::now();
    if (stop_signal_received() || closed_) {
      gone_ = PlayerAnswer::Kind::kExited;
      return {*gone_, {}};
    }
    if (now >= deadline) break;
    change_.wait_until(lock, std::min(deadline, now + kSignalPoll));
  }
  if (handed_in_) {
    clock_.answered(Clock::now());
    turns_.ended(clock_.charged(), clock_.left(), true);
    std::string line = std::move(*handed_in_);
    handed_in_.reset();
    return {PlayerAnswer::Kind::kLine, std::move(line)};
  }
  if (Clock::now() < own_deadline) return {PlayerAnswer::Kind::kGameTimedOut, {}};
  clock_.expired();
  turns_.ended(clock_.charged(), clock_.left(), false);
  gone_ = PlayerAnswer::Kind::kTimedOut;
  notice_ = "Your time ran out: the referee plays your tiles at random from here on.";
  changed();
  return {*gone_, {}};
}

PlayerTimes PersonSeat::times() const {
  std::lock_guard lock(mutex_);
  return {clock_.charged_ms(), Milliseconds{0}};
}

std::optional<MoveRefusal> PersonSeat::play(std::string_view answer) {
  std::lock_guard lock(mutex_);
  if (!PersonView::well_formed(answer)) {
    return MoveRefusal{MoveRefusal::Kind::kMalformed,
                       "a move is a row letter A to P, a column letter a to t and h or v, with "
                       "the tile on the board, like Hah"};
  }
  if (gone_ || end_ || !view_.awaiting() || handed_in_) {
    return MoveRefusal{MoveRefusal::Kind::kNotYourTurn, "it is not your turn"};
  }
  if (!view_.is_legal(answer)) {
    return MoveRefusal{MoveRefusal::Kind::kNotLegal,
                       std::string(answer) + " is no legal place for the tile " + view_.tile()};
  }
  handed_in_ = std::string(answer);
  view_.place(answer);
  changed();
  return std::nullopt;
}

std::string PersonSeat::state_json() {
  std::lock_guard lock(mutex_);
  if (view_.colours()[0] == 0 || view_.colours()[1] == 0) {
    if (auto colours = logged_colours(read_head(setup_.log, kLogHead))) view_.set_colours(*colours);
  }
  const auto points = view_.points();
  nlohmann::json state = {
      {"version", version_},
      {"seat", setup_.seat},
      {"names", setup_.names},
      {"colours", view_.colours()},
      {"points", {optional_points(points[0]), optional_points(points[1])}},
      {"moves", view_.moves()},
      {"tile", view_.tile()},
      {"legal", view_.legal()},
      {"notice", notice_},
  };
  if (end_) {
    state["end"] = {{"result_line", end_->result_line}, {"winner", end_->winner},
                    {"results", end_->results},         {"description", end_->description},
                    {"failure", end_->failure},         {"replay", end_->replay}};
    result_shown_ = true;
  }
  // Names, the log's colours and the referee's texts may hold any bytes: never a reason to fail.
  return state.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void PersonSeat::wait_for_change(long long seen, TimePoint until) {
  std::unique_lock lock(mutex_);
  change_.wait_until(lock, until, [&] { return version_ != seen || closed_; });
}

void PersonSeat::finish(GameEnd end) {
  std::lock_guard lock(mutex_);
  end_ = std::move(end);
  changed();
}

bool PersonSeat::result_shown() const {
  std::lock_guard lock(mutex_);
  return result_shown_;
}

void PersonSeat::close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  change_.notify_all();
}

void PersonSeat::changed() {
  ++version_;
  change_.notify_all();
}

}  // namespace arena::human
