// The pieces that runs of many games share, without playing a game: the schedule a run hands its
// games out by, the plan file and how a tournament grows, and the SPRT's count of pairs in order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "arena/process/shell_words.h"
#include "arena/series/game_pairs.h"
#include "arena/series/game_schedule.h"
#include "arena/series/match_jobs.h"
#include "arena/series/plan_file.h"
#include "arena/series/plan_growth.h"
#include "arena/series/tile_script.h"
#include "arena/series/tournament_plan.h"
#include "arena/sprt/in_order_pairs.h"
#include "tests/support/test_files.h"

namespace arena::series {
using sprt::InOrderPairs;
namespace {

namespace fs = std::filesystem;
using test_support::lines_of;

TournamentSettings field_of(int players, int games_per_pair) {
  TournamentSettings settings;
  for (int i = 0; i < players; ++i) {
    std::string name(1, static_cast<char>('a' + i));
    settings.players.push_back({name, "./" + name + " --level=2"});
  }
  settings.games_per_pair = games_per_pair;
  settings.match_options = {"--time-limit", "5"};
  return settings;
}

std::vector<int> numbers_handed_out(GameSchedule& schedule, int at_most = 1000) {
  std::vector<int> numbers;
  while (auto game = schedule.next()) {
    numbers.push_back(game->number);
    if (static_cast<int>(numbers.size()) == at_most) break;
  }
  return numbers;
}

TEST(GameSchedule, HandsOutEveryGameOfThePlanInOrder) {
  GameSchedule schedule(schedule_games(field_of(3, 2)), {});
  EXPECT_EQ(schedule.total(), 6u);
  EXPECT_EQ(schedule.played(), 0u);
  EXPECT_EQ(numbers_handed_out(schedule), (std::vector<int>{1, 2, 3, 4, 5, 6}));
  EXPECT_FALSE(schedule.next());
}

TEST(GameSchedule, OnResumeHandsOutOnlyThePairsNotPlayedWhole) {
  // Pair 2 was played by half: it is not among the played ones and comes again whole, its
  // first game with its seats as planned.
  GameSchedule schedule(schedule_games(field_of(3, 2)), {1, 3});
  EXPECT_EQ(schedule.total(), 6u);
  EXPECT_EQ(schedule.played(), 4u);
  auto first = schedule.next(), second = schedule.next();
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->number, 3);
  EXPECT_EQ(second->number, 4);
  EXPECT_EQ(first->first, second->second);
  EXPECT_EQ(first->pair, 2);
  EXPECT_FALSE(schedule.next());
}

TEST(GameSchedule, ResumesFromThePairsItsDirectoryHoldsWhole) {
  fs::path dir = test_support::fresh_test_dir("zarvo_series_");
  fs::create_directories(dir / "refereelogs");
  auto write_log = [&](const std::string& name) {
    std::ofstream(dir / "refereelogs" / name)
        << "Colours: 3, 1\n\nManager report: PLAYER_1:_WIN;_PLAYER_2:_LOSE Score: 40-10.\n";
  };
  write_log("a-b.1.log");
  write_log("b-a.2.log");
  write_log("a-b.3.log");  // its partner, game 4, never finished
  TournamentSettings settings = field_of(2, 4);
  std::vector<ScheduledGame> games = schedule_games(settings);
  PlayedPairs played =
      read_played_pairs(dir, settings, {{games[0], games[1]}, {games[2], games[3]}});
  EXPECT_EQ(played.numbers(), (std::set<int>{1}));
  EXPECT_EQ(played.discarded, 1);
  EXPECT_FALSE(fs::exists(dir / "refereelogs/a-b.3.log"));

  GameSchedule schedule(games, played.numbers());
  EXPECT_EQ(schedule.played(), 2u);
  EXPECT_EQ(numbers_handed_out(schedule), (std::vector<int>{3, 4}));
  fs::remove_all(dir);
}

TEST(GameSchedule, PairsMadeOnDemandGoOnWithoutEndOrStopAtTheirLimit) {
  auto games_of = [](int pair) { return paired_games(pair, 0, 1); };
  GameSchedule endless(games_of, std::nullopt, {2});
  EXPECT_EQ(endless.total(), std::nullopt);
  EXPECT_EQ(numbers_handed_out(endless, 6), (std::vector<int>{1, 2, 5, 6, 7, 8}));

  // Pairs played beyond the limit (by a run with a higher one) are not part of this plan.
  GameSchedule limited(games_of, 3, {2, 7});
  EXPECT_EQ(limited.total(), 6u);
  EXPECT_EQ(limited.played(), 2u);
  EXPECT_EQ(numbers_handed_out(limited), (std::vector<int>{1, 2, 5, 6}));
}

TEST(PlanFile, ReadsBackWhatItWrites) {
  TournamentSettings settings = field_of(3, 4);
  settings.format = Format::gauntlet;
  settings.seed = "s1";
  settings.earlier_stages = {{2, 2}};
  settings.players[1].sources = std::string(64, 'e');
  PlanRecord plan = parse_plan(describe_plan(settings) + "drawn-seed abc\n");
  EXPECT_EQ(plan.format, Format::gauntlet);
  EXPECT_EQ(plan.games_per_pair, 4);
  EXPECT_EQ(plan.games, static_cast<std::size_t>(scheduled_game_count(settings)));
  EXPECT_EQ(plan.seed, "s1");
  EXPECT_EQ(plan.drawn_seed, "abc");
  EXPECT_EQ(plan.match_options, settings.match_options);
  ASSERT_EQ(plan.earlier_stages.size(), 1u);
  EXPECT_EQ(plan.earlier_stages[0].players, 2);
  ASSERT_EQ(plan.players.size(), 3u);
  EXPECT_EQ(plan.players[2].command, "./c --level=2");
  EXPECT_EQ(plan.players[1].sources, settings.players[1].sources);
  EXPECT_EQ(plan_text(plan), describe_plan(settings));

  PlanRecord sprt;
  sprt.sprt = SprtPlanLines{0, 5.5, 0.05, 0.1};
  sprt.players = settings.players;
  PlanRecord read = parse_plan(plan_text(sprt));
  ASSERT_TRUE(read.sprt);
  EXPECT_EQ(read.sprt->elo1, 5.5);
  EXPECT_EQ(read.sprt->beta, 0.1);
  EXPECT_FALSE(read.format);
  EXPECT_FALSE(read.seed);
  EXPECT_EQ(plan_text(read), plan_text(sprt));
}

class PlanGrowthTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test_support::fresh_test_dir("zarvo_series_");
    record_plan(dir_, kTournamentPlanFile, describe_plan(field_of(2, 2)), "drawn");
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string refusal(TournamentSettings wanted) {
    try {
      grow_plan(dir_, wanted);
    } catch (const std::runtime_error& error) {
      return error.what();
    }
    return "";
  }

  fs::path dir_;
};

TEST_F(PlanGrowthTest, TheSameTournamentDoesNotGrow) {
  TournamentSettings wanted = field_of(2, 2);
  EXPECT_FALSE(grow_plan(dir_, wanted).grown);
  EXPECT_TRUE(wanted.earlier_stages.empty());
}

TEST_F(PlanGrowthTest, MoreGamesPerPairKeepThePlayedGamesAndAddTheirPairs) {
  TournamentSettings wanted = field_of(2, 4);
  PlanGrowth growth = grow_plan(dir_, wanted);
  EXPECT_TRUE(growth.grown);
  EXPECT_EQ(growth.drawn_seed, "drawn");
  std::vector<ScheduledGame> games = schedule_games(wanted);
  ASSERT_EQ(games.size(), 4u);
  std::vector<ScheduledGame> before = schedule_games(field_of(2, 2));
  EXPECT_EQ(games[0].first, before[0].first);
  EXPECT_EQ(games[1].first, before[1].first);
  EXPECT_EQ(games[3].pair, 2);
}

TEST_F(PlanGrowthTest, PlayersAddedAtTheEndPlayOnlyTheirNewPairings) {
  TournamentSettings wanted = field_of(3, 2);
  EXPECT_TRUE(grow_plan(dir_, wanted).grown);
  std::vector<ScheduledGame> games = schedule_games(wanted);
  ASSERT_EQ(games.size(), 6u);
  EXPECT_EQ(std::set<int>({games[0].first, games[0].second}), (std::set<int>{0, 1}));
  for (std::size_t i = 2; i < games.size(); ++i) {
    EXPECT_TRUE(games[i].first == 2 || games[i].second == 2) << "game " << games[i].number;
  }
}

TEST_F(PlanGrowthTest, PlayersAreMatchedByNameSoANewOneMayComeFirst) {
  TournamentSettings wanted = field_of(3, 2);
  std::swap(wanted.players[0], wanted.players[2]);
  EXPECT_TRUE(grow_plan(dir_, wanted).grown);
  ASSERT_EQ(wanted.players.size(), 3u);
  EXPECT_EQ(wanted.players[0].name, "a");
  EXPECT_EQ(wanted.players[1].name, "b");
  EXPECT_EQ(wanted.players[2].name, "c");
  EXPECT_EQ(schedule_games(wanted)[0].first, schedule_games(field_of(2, 2))[0].first);
}

TEST_F(PlanGrowthTest, AnyOtherChangeIsRefusedNamingWhatChanged) {
  TournamentSettings gauntlet = field_of(2, 2);
  gauntlet.format = Format::gauntlet;
  EXPECT_NE(refusal(gauntlet).find("the format changed from round-robin to gauntlet"),
            std::string::npos);

  TournamentSettings seeded = field_of(2, 2);
  seeded.seed = "7";
  EXPECT_NE(refusal(seeded).find("the seed changed"), std::string::npos);

  TournamentSettings faster = field_of(2, 2);
  faster.match_options = {"--time-limit", "1"};
  EXPECT_NE(refusal(faster).find("the match options changed from \"--time-limit 5\" to "
                                 "\"--time-limit 1\""),
            std::string::npos);

  TournamentSettings other_command = field_of(2, 2);
  other_command.players[1].command = "./b";
  EXPECT_NE(refusal(other_command).find("the command of player b changed"), std::string::npos);

  TournamentSettings removed = field_of(2, 2);
  removed.players.pop_back();
  removed.players.push_back({"c", "./c"});
  EXPECT_NE(refusal(removed).find("player b was removed"), std::string::npos);

  TournamentSettings bigger = field_of(2, 4);
  grow_plan(dir_, bigger);
  record_plan(dir_, kTournamentPlanFile, describe_plan(bigger), std::nullopt);
  EXPECT_NE(refusal(field_of(2, 2)).find("--games-per-pair went down from 4 to 2"),
            std::string::npos);
}

// Game `game` of pair `pair` between A and B, A moving first in the pair's first game; A wins it
// when `a_wins`, else loses it.
GameRecord game_of(int pair, int game, bool a_wins) {
  GameRecord record;
  record.id = std::to_string(2 * pair - 1 + game);
  record.names =
      game == 0 ? std::array<std::string, 2>{"A", "B"} : std::array<std::string, 2>{"B", "A"};
  int a_side = game == 0 ? 0 : 1;
  record.values[a_side] = a_wins ? 30 : 10;
  record.values[1 - a_side] = a_wins ? 10 : 30;
  record.texts = {"WIN", "LOSE"};
  if (record.values[0] < record.values[1]) record.texts = {"LOSE", "WIN"};
  return record;
}

// A wins both games of most pairs, one of some and none of a few.
bool a_wins(int pair, int game) {
  if (pair % 5 == 0) return false;
  if (pair % 5 == 2) return game == 0;
  return true;
}

struct Decision {
  long long pair = 0;
  stats::SprtResult result = stats::SprtResult::none;
  double llr = 0;
};

Decision decide(const std::vector<std::pair<int, int>>& finish_order) {
  stats::SprtParameters parameters{0, 100, 0.05, 0.05};
  InOrderPairs count("A", parameters, std::nullopt);
  for (auto [pair, game] : finish_order) {
    count.add(pair, game, game_of(pair, game, a_wins(pair, game)));
    while (count.count_next()) {
    }
  }
  return {count.counted(), count.status().result, count.status().llr};
}

TEST(InOrderPairs, PairsFinishingOutOfOrderGiveTheSameDecisionAtTheSamePair) {
  constexpr int kPairs = 200;
  std::vector<std::pair<int, int>> in_order;
  for (int pair = 1; pair <= kPairs; ++pair)
    in_order.push_back({pair, 0}), in_order.push_back({pair, 1});
  Decision expected = decide(in_order);
  ASSERT_EQ(expected.result, stats::SprtResult::h1);
  ASSERT_LT(expected.pair, kPairs / 2);

  // Several games at once: each finishes within a few places of where it started.
  std::vector<std::pair<int, int>> shuffled = in_order;
  std::mt19937 random(12345);
  for (std::size_t i = 0; i + 8 <= shuffled.size(); i += 8) {
    std::shuffle(shuffled.begin() + i, shuffled.begin() + i + 8, random);
  }
  Decision out_of_order = decide(shuffled);
  EXPECT_EQ(out_of_order.pair, expected.pair);
  EXPECT_EQ(out_of_order.result, expected.result);
  EXPECT_EQ(out_of_order.llr, expected.llr);
}

TEST(InOrderPairs, APairWaitsForEveryPairBeforeItAndTheLimitEndsTheCount) {
  InOrderPairs count("A", {0, 100, 0.05, 0.05}, 2);
  count.add(2, {game_of(2, 0, true), game_of(2, 1, true)});
  count.add(3, {game_of(3, 0, true), game_of(3, 1, true)});
  count.add(1, 1, game_of(1, 1, false));
  EXPECT_FALSE(count.count_next());
  count.add(1, 0, game_of(1, 0, false));
  EXPECT_TRUE(count.count_next());
  EXPECT_TRUE(count.count_next());
  EXPECT_FALSE(count.count_next());
  EXPECT_TRUE(count.at_limit());
  EXPECT_EQ(count.status().pentanomial.counts, (std::array<long long, 5>{1, 0, 0, 0, 1}));
}

TEST(TileScript, ReproduciblePerPairAndValid) {
  std::string script = derive_tile_script("seed", 1);
  EXPECT_EQ(script, derive_tile_script("seed", 1));
  EXPECT_NE(script, derive_tile_script("seed", 2));
  EXPECT_NE(script, derive_tile_script("seee", 1));
  for (int n = 1; n <= 50; ++n) {
    auto lines = lines_of(derive_tile_script("s", n));
    ASSERT_EQ(lines.size(), 2u + kScriptTiles);
    int c1 = 0, c2 = 0;
    ASSERT_EQ(std::sscanf(lines[0].c_str(), "%d %d", &c1, &c2), 2);
    EXPECT_TRUE(c1 >= 1 && c1 <= 6 && c2 >= 1 && c2 <= 6 && c1 != c2) << lines[0];
    for (std::size_t i = 1; i < lines.size(); ++i) {
      std::string sorted = lines[i];
      std::sort(sorted.begin(), sorted.end());
      EXPECT_EQ(sorted, "123456") << lines[i];
    }
  }
}

TEST(TournamentPlan, PlayersCommandLinesAndTheScheduleOfEachFormat) {
  EXPECT_EQ(parse_player("fast=bots/x --level 3").name, "fast");
  EXPECT_EQ(parse_player("fast=bots/x --level 3").command, "bots/x --level 3");
  EXPECT_EQ(parse_player("bots/zarvo-x --level=3").name, "zarvo_x");
  EXPECT_EQ(parse_player("bots/zarvo-x --level=3").command, "bots/zarvo-x --level=3");
  EXPECT_THROW(parse_player("a="), std::invalid_argument);
  std::vector<std::string> words = {"/bin/a b", "it's", "", "$HOME", "plain-1.0", "x\"y\\z"};
  EXPECT_EQ(arena::split_shell_words(shell_command(words)), words);
  EXPECT_EQ(shell_quote("plain-1.0"), "plain-1.0");

  TournamentSettings settings;
  settings.players = {{"a", "x"}, {"b", "y"}, {"c", "z"}};
  settings.games_per_pair = 4;
  auto games = schedule_games(settings);
  ASSERT_EQ(games.size(), 12u);
  EXPECT_EQ(scheduled_game_count(settings), 12);
  // Pair k is games 2k-1 and 2k, seats swapped; every pairing's first pair comes before any
  // pairing's second.
  std::vector<std::pair<int, int>> seats;
  for (std::size_t i = 0; i < games.size(); ++i) {
    EXPECT_EQ(games[i].number, static_cast<int>(i) + 1);
    EXPECT_EQ(games[i].pair, static_cast<int>(i) / 2 + 1);
    seats.emplace_back(games[i].first, games[i].second);
  }
  EXPECT_EQ(seats, (std::vector<std::pair<int, int>>{{0, 1},
                                                     {1, 0},
                                                     {0, 2},
                                                     {2, 0},
                                                     {1, 2},
                                                     {2, 1},
                                                     {0, 1},
                                                     {1, 0},
                                                     {0, 2},
                                                     {2, 0},
                                                     {1, 2},
                                                     {2, 1}}));
  settings.format = Format::gauntlet;
  EXPECT_EQ(schedule_games(settings).size(), 8u);
  EXPECT_EQ(scheduled_game_count(settings), 8);
  EXPECT_EQ(planned_games(describe_plan(settings)), 8u);
  EXPECT_EQ(planned_games("format gauntlet\n"), std::nullopt);
}

}  // namespace
}  // namespace arena::series
