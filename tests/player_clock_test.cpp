// A player's clock over a game: what it charges, when an answer is due under the game's budget,
// the move limit and the increment, and which limit it says fired when the time ran out.
#include "arena/match/player_clock.h"

#include <gtest/gtest.h>

namespace {

using arena::Milliseconds;
using arena::PlayerClock;
using arena::TimeLimit;
using arena::TimePoint;
using std::chrono::milliseconds;

const TimePoint kStart{};

TimePoint at(int ms) { return kStart + milliseconds(ms); }

TEST(PlayerClock, ChargesTheTimeFromTheLineToTheAnswerOverTheGame) {
  PlayerClock clock(milliseconds(1000));
  clock.delivered(at(0));
  clock.answered(at(120));
  // Waiting for the opponent costs nothing: the clock runs from the next line only.
  clock.delivered(at(500));
  clock.answered(at(530));
  EXPECT_EQ(clock.charged_ms(), Milliseconds(150));
}

TEST(PlayerClock, AnAnswerIsDueWhenTheGamesBudgetRunsOut) {
  PlayerClock clock(milliseconds(1000));
  clock.delivered(at(0));
  clock.answered(at(300));
  clock.delivered(at(400));
  EXPECT_EQ(clock.deadline(at(450)), at(400 + 700));
}

TEST(PlayerClock, WithoutALineDeliveredTheClockStartsWhenTheAnswerIsAwaited) {
  PlayerClock clock(milliseconds(1000));
  EXPECT_EQ(clock.deadline(at(50)), at(1050));
  clock.answered(at(80));
  EXPECT_EQ(clock.charged_ms(), Milliseconds(30));
}

TEST(PlayerClock, TheMoveLimitBoundsEachAnswerUntilTheBudgetIsShorter) {
  PlayerClock clock(milliseconds(1000), milliseconds(300));
  clock.delivered(at(0));
  EXPECT_EQ(clock.deadline(at(0)), at(300));
  clock.answered(at(290));
  clock.delivered(at(1000));
  clock.answered(at(1290));
  clock.delivered(at(2000));
  clock.answered(at(2290));
  // 130 ms of the budget are left, less than the move limit.
  clock.delivered(at(3000));
  EXPECT_EQ(clock.deadline(at(3000)), at(3130));
}

TEST(PlayerClock, EachAnswerRaisesTheBudgetByTheIncrement) {
  PlayerClock clock(milliseconds(1000), std::nullopt, milliseconds(100));
  clock.delivered(at(0));
  clock.answered(at(400));
  // What is left for the rest of the game, as the replay page shows it.
  EXPECT_EQ(clock.left(), milliseconds(1000 + 100 - 400));
  clock.delivered(at(500));
  EXPECT_EQ(clock.deadline(at(500)), at(500 + 1000 + 100 - 400));
}

TEST(PlayerClock, ATimeOutByTheMoveLimitSaysSoAndChargesOnlyThatAnswer) {
  PlayerClock clock(milliseconds(3000), milliseconds(300));
  clock.delivered(at(0));
  clock.answered(at(100));
  clock.delivered(at(1000));
  arena::TimeoutDetail detail = clock.expired();
  EXPECT_EQ(detail.limit, TimeLimit::kMove);
  EXPECT_EQ(detail.allowed, Milliseconds(300));
  EXPECT_EQ(detail.used, Milliseconds(300));
  EXPECT_EQ(clock.charged_ms(), Milliseconds(400));
}

TEST(PlayerClock, ATimeOutByTheBudgetSaysSoAndChargesTheWholeBudget) {
  PlayerClock clock(milliseconds(1000), milliseconds(800));
  clock.delivered(at(0));
  clock.answered(at(500));
  // 500 ms left, less than the move limit: the budget is what fires, and all of it is charged.
  clock.delivered(at(1000));
  arena::TimeoutDetail detail = clock.expired();
  EXPECT_EQ(detail.limit, TimeLimit::kGame);
  EXPECT_EQ(detail.allowed, Milliseconds(1000));
  EXPECT_EQ(detail.used, Milliseconds(1000));
  EXPECT_EQ(clock.charged_ms(), Milliseconds(1000));
  EXPECT_EQ(clock.left(), milliseconds(0));
}

TEST(PlayerClock, ATimedOutAnswerEarnsNoIncrement) {
  PlayerClock clock(milliseconds(1000), std::nullopt, milliseconds(100));
  clock.delivered(at(0));
  clock.answered(at(200));
  clock.delivered(at(300));
  clock.deadline(at(300));
  arena::TimeoutDetail detail = clock.expired();
  EXPECT_EQ(detail.limit, TimeLimit::kGame);
  // The limit as given and the increment of the one answer given in time, which the budget grew
  // to: the time-out itself earns none.
  EXPECT_EQ(detail.allowed, Milliseconds(1000));
  EXPECT_EQ(detail.earned, Milliseconds(100));
  EXPECT_EQ(clock.charged_ms(), Milliseconds(1100));
}

TEST(PlayerClock, AnAnswerIsChargedNoMoreThanItWasAllowed) {
  PlayerClock clock(milliseconds(1000), milliseconds(300), milliseconds(500));
  // A line read a moment past the move limit.
  clock.delivered(at(0));
  clock.answered(at(310));
  EXPECT_EQ(clock.charged_ms(), Milliseconds(300));
  // Budget 1500 ms, 300 charged: the move limit fires, and the answer is charged 300 ms however
  // late the arena noticed.
  clock.delivered(at(1000));
  arena::TimeoutDetail detail = clock.expired();
  EXPECT_EQ(detail.limit, TimeLimit::kMove);
  EXPECT_EQ(detail.used, Milliseconds(300));
  EXPECT_EQ(clock.charged_ms(), Milliseconds(600));
}

}  // namespace
