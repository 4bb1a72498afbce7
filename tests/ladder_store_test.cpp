// The ladder's store, on SQLite and on a scratch PostgreSQL alike: tokens, versions and their
// builds, the job queue's leases and attempts, reports counted once, and voided games.
#include <gtest/gtest.h>

#include <memory>

#include "ladder/store/accounts.h"
#include "ladder/store/job_reports.h"
#include "ladder/store/jobs.h"
#include "ladder/store/ladder_settings.h"
#include "ladder/store/public_views.h"
#include "ladder/store/ratings_store.h"
#include "ladder/store/schema.h"
#include "ladder/store/versions.h"
#include "tests/support/scratch_postgres.h"
#include "tests/support/test_files.h"

namespace {

using namespace ladder::store;
namespace fs = std::filesystem;

const std::string kSources(64, 'a');

JobReport build_report(std::int64_t job, bool built, std::string reason = "",
                       std::string log = "") {
  JobReport report;
  report.kind = ReportKind::kBuild;
  report.job = job;
  report.built = report.passed = built;
  report.reason = std::move(reason);
  report.build_log = std::move(log);
  return report;
}

JobReport error_report(std::int64_t job, std::string reason) {
  JobReport report;
  report.job = job;
  report.reason = std::move(reason);
  return report;
}

GameReport game_report(std::int64_t seat1, std::int64_t seat2, int winner) {
  GameReport game;
  game.players = {seat1, seat2};
  game.points = {winner == 2 ? 5 : 30, winner == 1 ? 5 : 30};
  game.outcome = "outcome";
  game.winner = winner;
  return game;
}

JobReport pair_report(std::int64_t job, std::vector<GameReport> games) {
  JobReport report;
  report.kind = ReportKind::kPair;
  report.job = job;
  report.games = std::move(games);
  return report;
}

class StoreTest : public ::testing::TestWithParam<std::string> {
 protected:
  static void TearDownTestSuite() { postgres_.reset(); }

  void SetUp() override {
    char name[] = "/tmp/zarvo-store-XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    root_ = name;
    std::string url = "sqlite:" + (root_ / "ladder.db").string();
    if (GetParam() == "postgresql") {
      if (test_support::postgres_bin_dir().empty())
        GTEST_SKIP() << "PostgreSQL 15 is not installed";
      if (!postgres_) postgres_ = std::make_unique<test_support::ScratchPostgres>();
      url = postgres_->new_database();
    }
    db_ = std::make_unique<Database>(url);
    migrate(*db_);
    migrate(*db_);  // a second start finds its schema in place
    ensure_ladder_seed(*db_);
    dir_ = std::make_unique<DataDir>(root_);
    dir_->create();
  }
  void TearDown() override {
    db_.reset();
    fs::remove_all(root_);
  }

  std::int64_t entrant(const std::string& name) {
    std::string token = add_entrant(*db_, name, 1000);
    return authenticate(*db_, token)->id;
  }
  std::int64_t worker(const std::string& name) {
    return authenticate(*db_, add_worker(*db_, name, 1000))->id;
  }
  // A version of `entrant` built and active.
  std::int64_t active_version(std::int64_t entrant, std::int64_t worker) {
    NewVersion version = add_version(*db_, entrant, kSources, 10, 2000);
    auto job = lease_job(*db_, worker, "w/0", 90, 2000);
    EXPECT_TRUE(job && job->build);
    JobReport build = build_report(job->id, true);
    EXPECT_EQ(apply_report(*db_, *dir_, worker, job->lease, build, 2000).outcome,
              ReportOutcome::kApplied);
    return version.id;
  }
  nlohmann::json entrant_view(const std::string& name) {
    Transaction tx(*db_, Access::kRead);
    return *entrant_json(tx, name);
  }
  std::vector<PairTotal> totals() {
    Transaction tx(*db_, Access::kRead);
    return pair_totals(tx);
  }

  static std::unique_ptr<test_support::ScratchPostgres> postgres_;
  fs::path root_;
  std::unique_ptr<Database> db_;
  std::unique_ptr<DataDir> dir_;
};

std::unique_ptr<test_support::ScratchPostgres> StoreTest::postgres_;

TEST_P(StoreTest, TokensNameTheirAccountUntilItIsBarred) {
  std::string token = add_entrant(*db_, "alice", 1000);
  EXPECT_EQ(token.size(), 64u);
  auto caller = authenticate(*db_, token);
  ASSERT_TRUE(caller);
  EXPECT_EQ(caller->name, "alice");
  EXPECT_EQ(caller->role, Role::kEntrant);
  EXPECT_FALSE(authenticate(*db_, std::string(64, '0')));
  EXPECT_FALSE(authenticate(*db_, "not a token"));
  EXPECT_THROW(add_entrant(*db_, "alice", 1000), AccountError);
  EXPECT_THROW(add_entrant(*db_, "bad name;rm", 1000), AccountError);
  std::string worker_token = add_worker(*db_, "box", 1000);
  EXPECT_EQ(authenticate(*db_, worker_token)->role, Role::kWorker);
  disable_entrant(*db_, "alice");
  EXPECT_FALSE(authenticate(*db_, token));
  block_worker(*db_, "box");
  EXPECT_FALSE(authenticate(*db_, worker_token));
  EXPECT_THROW(disable_entrant(*db_, "nobody"), AccountError);
}

TEST_P(StoreTest, BuildsDecideTheActiveVersionAndReportsCountOnce) {
  auto alice = entrant("alice"), box = worker("box"), other = worker("other");
  auto first = active_version(alice, box);
  EXPECT_EQ(entrant_view("alice")["active"], 1);

  // A failed build keeps its reason and leaves version 1 active.
  add_version(*db_, alice, kSources, 10, 2100);
  auto job = lease_job(*db_, box, "w/0", 90, 2100);
  ASSERT_TRUE(job);
  EXPECT_EQ(job->players[0].number, 2);
  EXPECT_EQ(job->players[0].sources, kSources);
  JobReport failed = build_report(job->id, false, "main.c:1: error", "cc says no");
  EXPECT_EQ(apply_report(*db_, *dir_, other, job->lease, failed, 2100).outcome,
            ReportOutcome::kNotHeld);
  EXPECT_EQ(apply_report(*db_, *dir_, box, job->lease, failed, 2100).outcome,
            ReportOutcome::kApplied);
  EXPECT_EQ(apply_report(*db_, *dir_, box, job->lease, failed, 2100).outcome,
            ReportOutcome::kDuplicate);
  auto view = entrant_view("alice");
  EXPECT_EQ(view["active"], 1);
  EXPECT_EQ(view["versions"][1]["state"], "failed");
  EXPECT_EQ(view["versions"][1]["reason"], "main.c:1: error");
  EXPECT_EQ(test_support::read_file(dir_->build_log(job->players[0].version_id)), "cc says no");

  // A pair between two active versions: both games counted once, in the pairing's totals too.
  auto bob = entrant("bob");
  auto second = active_version(bob, box);
  {
    Transaction tx(*db_);
    queue_pairs(tx, {{first, second}}, false, 2200);
    tx.commit();
  }
  auto pair = lease_job(*db_, box, "w/0", 90, 2200);
  ASSERT_TRUE(pair && !pair->build && pair->ranked);
  EXPECT_EQ(pair->seed.size(), 64u);
  GameReport win = game_report(first, second, 1);
  GameReport draw = game_report(second, first, 0);
  JobReport swapped = pair_report(pair->id, {win, win});
  EXPECT_EQ(apply_report(*db_, *dir_, box, pair->lease, swapped, 2200).outcome,
            ReportOutcome::kMismatch);
  JobReport games = pair_report(pair->id, {win, draw});
  EXPECT_EQ(apply_report(*db_, *dir_, box, pair->lease, games, 2200).outcome,
            ReportOutcome::kApplied);
  EXPECT_EQ(apply_report(*db_, *dir_, box, pair->lease, games, 2200).outcome,
            ReportOutcome::kDuplicate);
  auto pairings = totals();
  ASSERT_EQ(pairings.size(), 1u);
  EXPECT_EQ(pairings[0].games, 2);
  EXPECT_EQ(pairings[0].points_a, first < second ? 1.5 : 0.5);
  EXPECT_EQ(entrant_view("bob")["versions"][0]["games"], 2);

  // Voiding the worker's games takes them out again and queues the pair anew.
  EXPECT_EQ(void_worker_games(*db_, box, 2300), 2);
  EXPECT_TRUE(totals().empty());
  EXPECT_EQ(entrant_view("bob")["versions"][0]["games"], 0);
  Transaction tx(*db_, Access::kRead);
  EXPECT_EQ(queued_ranked_jobs(tx), 1);
}

TEST_P(StoreTest, ExpiredLeasesComeBackUntilTheThirdAttemptFails) {
  auto alice = entrant("alice"), box = worker("box");
  add_version(*db_, alice, kSources, 10, 1000);
  auto first = lease_job(*db_, box, "w/0", 10, 1000);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->attempt, 1);
  EXPECT_FALSE(lease_job(*db_, box, "w/1", 10, 1000));
  EXPECT_TRUE(renew_lease(*db_, box, first->lease, 10, 1005));
  EXPECT_EQ(expire_leases(*db_, 1012), 0);  // renewed until 1015
  EXPECT_EQ(expire_leases(*db_, 1016), 1);
  EXPECT_FALSE(renew_lease(*db_, box, first->lease, 10, 1016));
  JobReport late = build_report(first->id, true);
  EXPECT_EQ(apply_report(*db_, *dir_, box, first->lease, late, 1016).outcome,
            ReportOutcome::kNotHeld);

  auto second = lease_job(*db_, box, "w/0", 10, 1020);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->attempt, 2);
  EXPECT_TRUE(return_lease(*db_, box, second->lease));  // handed back: no attempt used
  auto again = lease_job(*db_, box, "w/0", 10, 1020);
  EXPECT_EQ(again->attempt, 2);
  JobReport error = error_report(again->id, "disk full");
  EXPECT_EQ(apply_report(*db_, *dir_, box, again->lease, error, 1021).outcome,
            ReportOutcome::kApplied);
  auto third = lease_job(*db_, box, "w/0", 10, 1030);
  EXPECT_EQ(third->attempt, 3);
  EXPECT_EQ(expire_leases(*db_, 1041), 1);
  EXPECT_FALSE(lease_job(*db_, box, "w/0", 10, 1050));
  EXPECT_EQ(entrant_view("alice")["versions"][0]["state"], "failed");
  Transaction tx(*db_, Access::kRead);
  auto status = status_json(tx);
  ASSERT_EQ(status["failed"].size(), 1u);
  EXPECT_NE(status["failed"][0]["reason"].get<std::string>().find("expired"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Backends, StoreTest, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return info.param; });

}  // namespace
