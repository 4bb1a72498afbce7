#include "arena/match/seat_replay.h"

#include "arena/match/player.h"
#include "arena/match/referee_protocol.h"
#include "arena/match/sandbox_plan.h"
#include "arena/match/seat_launch.h"

namespace arena {
namespace {

constexpr auto kSandboxStartPatience = std::chrono::seconds(20);
constexpr auto kGrace = std::chrono::seconds(1);

std::string how_stopped(PlayerAnswer::Kind kind) {
  switch (kind) {
    case PlayerAnswer::Kind::kCrashed: return "crashed";
    case PlayerAnswer::Kind::kExited: return "exited or closed its output";
    case PlayerAnswer::Kind::kTimedOut:
    case PlayerAnswer::Kind::kGameTimedOut: return "gave no answer in 24 hours";
    case PlayerAnswer::Kind::kLine: break;
  }
  return {};
}

ReplayedAnswer compare(const SeatEvent& event, const PlayerAnswer& answer) {
  ReplayedAnswer replayed{event.move, event.text, event.lost, {}, {}, false};
  if (answer.kind == PlayerAnswer::Kind::kLine) {
    replayed.given = answer.line;
    // The word the referee would have been given: an empty line is an empty answer.
    replayed.matches = event.lost.empty() && answer_word(answer.line).value_or("") == event.text;
  } else {
    replayed.stopped = how_stopped(answer.kind);
    replayed.matches = !event.lost.empty();
  }
  return replayed;
}

// The bot and what must outlive it: its seat's user, its working directory.
struct RunningBot {
  std::vector<sandbox::UserLease> users;
  std::optional<SeatLaunch> seat;
  std::optional<Player> player;
};

void start_bot(const SeatReplayConfig& config, RunningBot& bot) {
  MatchConfig match = config.match;
  // Nothing else waits for the bot: its thinking time is not held against a game's clock.
  match.time_limit = kLongestAnswer;
  match.clock = TimeClock::kWall;
  match.move_limit.reset();
  match.increment = {};
  bot.users = seat_users(match);
  std::optional<sandbox::Identity> user;
  if (!bot.users.empty()) user = bot.users[config.seat - 1].identity();
  bot.seat = plan_seat(match, config.seat, user);
  PlayerLaunch& launch = bot.seat->launch;
  launch.stderr_file = config.stderr_file;
  launch.seat = config.seat;
  // A frozen bot could not be looked at by a debugger.
  launch.freeze_when_idle = false;
  if (launch.sandbox && !config.hidden_dir.empty()) launch.sandbox->hidden = {config.hidden_dir};
  bot.player.emplace(launch);
  if (!bot.player->wait_started(Clock::now() + kSandboxStartPatience)) {
    throw MatchSetupError(
        "the bot's sandbox could not be made (zarvo-arena check-sandbox tells more; "
        "--no-sandbox runs without)");
  }
}

}  // namespace

SeatReplayResult replay_seat(const SeatReplayConfig& config, const std::vector<SeatEvent>& events,
                             const SeatReplayHooks& hooks) {
  RunningBot running;
  start_bot(config, running);
  Player& bot = *running.player;
  SeatReplayResult result;
  for (const SeatEvent& event : events) {
    if (config.until && event.move > *config.until) break;
    if (event.kind == SeatEvent::Kind::kLine) {
      bot.send(event.text);
      continue;
    }
    PlayerAnswer answer = bot.answer(Clock::now() + kLongestAnswer);
    ReplayedAnswer replayed = compare(event, answer);
    ++result.answers;
    if (!replayed.matches && !result.first_difference) result.first_difference = event.move;
    if (hooks.answered) hooks.answered(replayed);
    if (answer.kind != PlayerAnswer::Kind::kLine) {
      result.bot_stopped = true;
      break;
    }
  }
  if (config.until && !result.bot_stopped) {
    result.held = true;
    if (hooks.holding) hooks.holding(bot.pid());
    // Until it ends, or Ctrl-C ends it (the arena's stop signals kill what it started).
    while (bot.answer(Clock::now() + kLongestAnswer).kind == PlayerAnswer::Kind::kLine) {
    }
  }
  bot.close_input();
  bot.stop(Clock::now() + kGrace);
  return result;
}

}  // namespace arena
